#include "gui/runtime/displaypaint.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGlyphRun>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QRawFont>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "gui/runtime/runtime.h"

namespace {

// The glyphs of one font for the printable ASCII characters, each looked up when first drawn,
// and the line the line edit lays out in that font.
struct Glyphs {
    struct Glyph {
        bool looked = false;
        quint32 index = 0;  // 0: the font has no glyph of its own for the character
        qreal advance = 0;
    };
    QFont font;
    QRawFont raw;
    qreal ascent = 0;     // of the laid-out line: the baseline's distance from its top
    int ascentShift = 0;  // the line edit's shift of its line for a script of a taller ascent
    int lineHeight = 0;   // the line edit's text height
    std::array<Glyph, 128> ascii{};

    const Glyph *of(QChar c) {
        if (c.unicode() < 32 || c.unicode() >= ascii.size()) return nullptr;
        Glyph &g = ascii[c.unicode()];
        if (!g.looked) {
            g.looked = true;
            const QList<quint32> index = raw.glyphIndexesForString(QString(c));
            if (index.size() == 1 && index[0] != 0) {
                g.index = index[0];
                g.advance = raw.advancesForGlyphIndexes(index).value(0).x();
            }
        }
        return g.index ? &g : nullptr;
    }
};

std::vector<std::unique_ptr<Glyphs>> fonts;

Glyphs &glyphsOf(const QFont &font) {
    for (const auto &g : fonts)
        if (g->font == font) return *g;
    auto g = std::make_unique<Glyphs>();
    g->font = font;
    g->raw = QRawFont::fromFont(font);
    QTextLayout layout(QStringLiteral("0"), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QFontMetrics metrics(font);
    g->ascent = line.ascent();
    g->ascentShift = qRound(line.ascent()) - metrics.ascent();
    g->lineHeight = std::max(metrics.boundingRect(QStringLiteral("0")).height(), metrics.height());
    return *fonts.emplace_back(std::move(g));
}

// A text laid out as the line edit lays out its text, with the line edit's measures of it.
struct Layout {
    QString text;
    QFont font;
    QTextLayout layout;
    qreal width = 0;
    int ascentShift = 0;
    int lineHeight = 0;
    QList<QGlyphRun> runs;  // its glyphs, placed as the layout draws them
};

// Draws a laid-out text as QTextLayout::draw places it; a text of one font as one glyph run.
void drawLayout(QPainter &p, const Layout &l, const QPoint &origin) {
    if (l.runs.size() == 1)
        p.drawGlyphRun(origin, l.runs.front());
    else
        l.layout.draw(&p, origin);
}

// The layouts of the texts shown last: a status field shows a few texts in turn.
std::array<std::shared_ptr<const Layout>, 8> layouts;
std::size_t nextLayout = 0;

std::shared_ptr<const Layout> layoutOf(const QString &text, const QFont &font) {
    for (const auto &l : layouts)
        if (l && l->text == text && l->font == font) return l;
    auto l = std::make_shared<Layout>();
    l->text = text;
    l->font = font;
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    l->layout.setTextOption(option);
    l->layout.setFont(font);
    l->layout.setText(text);
    l->layout.setCacheEnabled(true);
    l->layout.beginLayout();
    const QTextLine line = l->layout.createLine();
    l->layout.endLayout();
    const QFontMetrics metrics(font);
    l->width = line.naturalTextWidth();
    l->ascentShift = qRound(line.ascent()) - metrics.ascent();
    l->lineHeight = std::max(metrics.boundingRect(text).height(), metrics.height());
    l->runs = l->layout.glyphRuns();
    layouts[nextLayout] = l;
    nextLayout = (nextLayout + 1) % layouts.size();
    return l;
}

// A display whose widget holds an older value than the one drawn.
struct Drawn {
    QPointer<QWidget> widget;  // the spin box or line edit
    QLineEdit *edit;           // the line edit that paints it
    CtrlKind kind;
    double value = 0;  // a number's
    QString text;      // a text's
    // What is painted: a number's glyphs, placed from 0 along the baseline, or a text's layout.
    QGlyphRun run;
    qreal ascent = 0;
    std::shared_ptr<const Layout> layout;
    qreal width = 0;
    int ascentShift = 0;
    int lineHeight = 0;
};
std::vector<Drawn> drawn;

Drawn *find(const QObject *widget) {
    for (Drawn &d : drawn)
        if (d.widget == widget) return &d;
    return nullptr;
}

Drawn *findByEdit(const QObject *edit) {
    for (Drawn &d : drawn)
        if (d.edit == edit && d.widget) return &d;
    return nullptr;
}

// The text a spin box shows for a value it keeps (QSpinBox::textFromValue and
// QDoubleSpinBox::textFromValue with prefix, suffix and special value text).
QString textOf(const QAbstractSpinBox *box, CtrlKind kind, double value) {
    const QLocale locale = box->locale();
    QString number;
    QString prefix;
    QString suffix;
    double minimum;
    if (kind == CtrlKind::SpinBox) {
        auto *spin = static_cast<const QSpinBox *>(box);
        if (spin->displayIntegerBase() != 10) return {};
        const int whole = static_cast<int>(value);
        number = locale.toString(whole);
        if ((!spin->isGroupSeparatorShown() && std::abs(value) >= 1000) || whole == INT_MIN)
            number.remove(locale.groupSeparator());
        prefix = spin->prefix();
        suffix = spin->suffix();
        minimum = spin->minimum();
    } else {
        auto *spin = static_cast<const QDoubleSpinBox *>(box);
        number = locale.toString(value, 'f', spin->decimals());
        if (!spin->isGroupSeparatorShown() && std::abs(value) >= 1000.0)
            number.remove(locale.groupSeparator());
        prefix = spin->prefix();
        suffix = spin->suffix();
        minimum = spin->minimum();
    }
    if (value == minimum && !box->specialValueText().isEmpty()) return box->specialValueText();
    return prefix + number + suffix;
}

// Places the glyphs of `text` one after the other; false when a character has none of its own.
bool placeGlyphs(Drawn &d, Glyphs &glyphs, const QString &text) {
    if (text.isEmpty()) return false;
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    qreal x = 0;
    for (const QChar c : text) {
        const Glyphs::Glyph *g = glyphs.of(c);
        if (!g) return false;
        indexes.append(g->index);
        positions.append(QPointF(x, 0));
        x += g->advance;
    }
    d.run.setRawFont(glyphs.raw);
    d.run.setGlyphIndexes(indexes);
    d.run.setPositions(positions);
    d.ascent = glyphs.ascent;
    d.layout.reset();
    d.width = x;
    d.ascentShift = glyphs.ascentShift;
    d.lineHeight = glyphs.lineHeight;
    return true;
}

// The rectangle the line edit draws its text in, and the line within it (QLineEdit::paintEvent:
// the same contents rectangle, margins and vertical alignment).
struct Place {
    QRect contents;
    QRect line;
};

Place placeOf(const QLineEdit *edit, int lineHeight, QStyleOptionFrame *panel) {
    QStyle *style = edit->style();
    panel->initFrom(edit);
    panel->rect = edit->contentsRect();
    panel->lineWidth =
        edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, panel, edit) : 0;
    panel->midLineWidth = 0;
    panel->state |= QStyle::State_Sunken;
    if (edit->isReadOnly()) panel->state |= QStyle::State_ReadOnly;
    panel->features = QStyleOptionFrame::None;
    const QRect r = style->subElementRect(QStyle::SE_LineEditContents, panel, edit)
                        .marginsRemoved(edit->textMargins());
    constexpr int horizontalMargin = 2;
    constexpr int verticalMargin = 1;
    int top;
    switch (edit->alignment() & Qt::AlignVertical_Mask) {
        case Qt::AlignBottom:
            top = r.y() + r.height() - lineHeight - verticalMargin;
            break;
        case Qt::AlignTop:
            top = r.y() + verticalMargin;
            break;
        default:
            top = r.y() + (r.height() - lineHeight + 1) / 2;
    }
    return {r, QRect(r.x() + horizontalMargin, top, r.width() - 2 * horizontalMargin, lineHeight)};
}

// Where the text's line starts: the line edit's horizontal alignment within the line. A number
// wider than the field shows its start, where the spin box keeps its cursor.
QPoint originOf(const QLineEdit *edit, const Drawn &d, const Place &place) {
    const int widthUsed = qRound(d.width) + 1;
    const int room = place.line.width();
    int scroll = 0;
    const Qt::Alignment horizontal =
        edit->alignment() & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify);
    if (widthUsed <= room && horizontal == Qt::AlignRight)
        scroll = widthUsed - room + 1;
    else if (widthUsed <= room && horizontal == Qt::AlignHCenter)
        scroll = (widthUsed - room) / 2;
    return place.line.topLeft() - QPoint(scroll, d.ascentShift);
}

// Paints the value where and as QLineEdit::paintEvent draws its text.
void paint(const Drawn &d) {
    QLineEdit *edit = d.edit;
    QPainter p(edit);
    QStyleOptionFrame panel;
    const Place place = placeOf(edit, d.lineHeight, &panel);
    // A spin box's line edit is opaque while its display draws (nothing beneath it is painted):
    // it is filled with the base the spin box shows there, as the style fills it. A text field
    // has the style draw its frame.
    if (d.edit != d.widget)
        p.fillRect(edit->rect(), edit->palette().base());
    else
        edit->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, edit);
    p.setClipRect(place.contents);
    const QPoint topLeft = originOf(edit, d, place);
    p.setPen(edit->palette().text().color());
    if (d.layout)
        drawLayout(p, *d.layout, topLeft);
    else
        p.drawGlyphRun(QPointF(topLeft) + QPointF(0, d.ascent), d.run);
}

// Stops drawing a display: the widget paints its own value again.
void release(const QObject *widget) {
    Drawn *d = find(widget);
    if (!d) return;
    QLineEdit *edit = d->edit;
    std::erase_if(drawn, [widget](const Drawn &e) { return e.widget == widget; });
    edit->setAttribute(Qt::WA_OpaquePaintEvent, false);
    edit->update();
}

// Paints the line edits of drawn displays, and settles a display before the operator acts on
// it (focus, a click on the field or its arrows, a key, the wheel), so that the widget's own value,
// text, selection and cursor are the ones shown. A display whose font changes (a panel scaled to
// its screen) is settled too: its glyphs were placed in the font before. A spin box takes these
// events itself and hands some to its line edit directly: both are watched.
class DisplayFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        switch (event->type()) {
            case QEvent::FocusIn:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::Wheel:
            case QEvent::FontChange: {
                const Drawn *d = find(object);
                if (!d) d = findByEdit(object);
                if (d) SettleDisplay(d->widget);
                return false;
            }
            case QEvent::Paint: {
                const Drawn *d = findByEdit(object);
                if (!d) return false;
                paint(*d);
                return true;
            }
            default:
                return false;
        }
    }
};

// KTAV_DISPLAY_PAINTER=0 turns the painter off: every widget then shows its value itself, to
// compare the two or to rule the painter out where a display looks wrong.
bool painterOn() {
    static const bool on = qEnvironmentVariable("KTAV_DISPLAY_PAINTER") != QLatin1String("0");
    return on;
}

// Whether a display may draw its value: the painter on, not focused, left to right.
bool mayDraw(const QWidget *widget) {
    return painterOn() && !widget->hasFocus() && widget->layoutDirection() == Qt::LeftToRight;
}

// The display's entry, made on first use.
Drawn &entry(QWidget *widget, QLineEdit *edit, CtrlKind kind) {
    if (Drawn *d = find(widget)) return *d;
    std::erase_if(drawn, [](const Drawn &e) { return e.widget.isNull(); });
    static DisplayFilter *filter = new DisplayFilter(QCoreApplication::instance());
    widget->installEventFilter(filter);
    edit->installEventFilter(filter);
    if (edit != widget) edit->setAttribute(Qt::WA_OpaquePaintEvent, true);
    Drawn &d = drawn.emplace_back();
    d.widget = widget;
    d.edit = edit;
    d.kind = kind;
    return d;
}

}  // namespace

bool DrawNumber(QWidget *widget, CtrlKind kind, double value) {
    auto *box = static_cast<QAbstractSpinBox *>(widget);
    if (!mayDraw(box)) {
        release(box);
        return false;
    }
    Drawn *existing = find(box);
    QLineEdit *edit = existing ? existing->edit
                               : box->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    if (!edit) return false;
    Drawn &d = entry(box, edit, kind);
    const double kept = KeptNumber(box, kind, value);
    if (!placeGlyphs(d, glyphsOf(edit->font()), textOf(box, kind, kept))) {
        release(box);
        return false;
    }
    d.value = kept;
    edit->update();
    return true;
}

bool DrawText(QWidget *widget, const QString &text) {
    auto *edit = static_cast<QLineEdit *>(widget);
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph || c.isHighSurrogate() ||
               c.direction() == QChar::DirR || c.direction() == QChar::DirAL;
    });
    if (!edit->isReadOnly() || !mayDraw(edit) || !plain || edit->echoMode() != QLineEdit::Normal) {
        release(edit);
        return false;
    }
    Drawn &d = entry(edit, edit, CtrlKind::LineEdit);
    d.layout = layoutOf(text, edit->font());
    d.width = d.layout->width;
    d.ascentShift = d.layout->ascentShift;
    d.lineHeight = d.layout->lineHeight;
    // A text wider than the field scrolls with the line edit's cursor: the line edit draws it.
    QStyleOptionFrame panel;
    const Place place = placeOf(edit, d.lineHeight, &panel);
    if (qRound(d.width) + 1 > place.line.width()) {
        release(edit);
        return false;
    }
    d.text = text;
    edit->update();
    return true;
}

const double *DrawnNumber(const QWidget *box) {
    const Drawn *d = find(box);
    return d ? &d->value : nullptr;
}

const QString *DrawnText(const QWidget *edit) {
    const Drawn *d = find(edit);
    return d ? &d->text : nullptr;
}

void SettleDisplay(QWidget *widget) {
    const Drawn *d = find(widget);
    if (!d) return;
    const double value = d->value;
    const QString text = d->text;
    const CtrlKind kind = d->kind;
    release(widget);
    const QSignalBlocker blocker(widget);
    if (kind == CtrlKind::SpinBox)
        static_cast<QSpinBox *>(widget)->setValue(static_cast<int>(value));
    else if (kind == CtrlKind::DoubleSpinBox)
        static_cast<QDoubleSpinBox *>(widget)->setValue(value);
    else
        static_cast<QLineEdit *>(widget)->setText(text);
}
