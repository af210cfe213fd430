// Control values: numbers, texts and text boxes. The setters block the control's signals, so
// that a value the program sets never arrives as the operator's value-changed event.
#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

#include "gui/runtime/displaypaint.h"
#include "gui/runtime/indicators.h"
#include "gui/runtime/kled.h"
#include "gui/runtime/runtime.h"

namespace {

// A value as a spin box keeps it: rounded to its decimals.
double rounded(const QDoubleSpinBox *box, double value) {
    return QString::number(value, 'f', box->decimals()).toDouble();
}

// The value a spin box shows: the one its display draws, else its own.
template <typename SpinBox>
double shownNumber(const SpinBox *box) {
    const double *drawn = DrawnNumber(box);
    return drawn ? *drawn : box->value();
}

int SetNumber(int panel, int control, double value) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("SetCtrlVal", panel, control);
    QWidget *w = c->widget;
    if (DeferNumber(w, c->kind, value)) return 0;
    const QSignalBlocker blocker(w);
    const int whole = static_cast<int>(std::trunc(value));
    switch (c->kind) {
        case CtrlKind::PushButton:
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox: {
            auto *button = static_cast<QAbstractButton *>(w);
            if (!button->isCheckable()) return UIE_NOT_SUPPORTED;
            button->setChecked(value != 0);
            return 0;
        }
        case CtrlKind::ComboBox: {
            auto *combo = static_cast<QComboBox *>(w);
            for (int i = 0; i < combo->count(); ++i) {
                if (ItemValue(combo, i) != whole) continue;
                combo->setCurrentIndex(i);
                return 0;
            }
            // A value the list cannot show selects no item, so that reading the control gives
            // no value instead of the item shown before.
            combo->setCurrentIndex(-1);
            return UIE_BAD_VALUE;
        }
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
            PutNumber(w, c->kind, value);
            return 0;
        case CtrlKind::Slider:
            static_cast<QSlider *>(w)->setValue(whole);
            return 0;
        case CtrlKind::ProgressBar:
            static_cast<QProgressBar *>(w)->setValue(whole);
            return 0;
        case CtrlKind::Led:
            static_cast<KLed *>(w)->setOn(value != 0);
            return 0;
        default:
            return UIE_NOT_SUPPORTED;
    }
}

int GetNumber(int panel, int control, double *value) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("GetCtrlVal", panel, control);
    if (!value) return UIE_BAD_VALUE;
    QWidget *w = c->widget;
    switch (c->kind) {
        case CtrlKind::PushButton:
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox:
            *value = static_cast<QAbstractButton *>(w)->isChecked();
            return 0;
        case CtrlKind::ComboBox: {
            auto *combo = static_cast<QComboBox *>(w);
            if (combo->currentIndex() < 0) return UIE_BAD_INDEX;
            *value = ItemValue(combo, combo->currentIndex());
            return 0;
        }
        case CtrlKind::SpinBox: {
            // A value waiting for the display reads as the display will keep it: whole, in range.
            auto *box = static_cast<QSpinBox *>(w);
            *value = shownNumber(box);
            if (const double *waiting = PendingNumber(w))
                *value = KeptNumber(box, c->kind, *waiting);
            return 0;
        }
        case CtrlKind::DoubleSpinBox: {
            auto *box = static_cast<QDoubleSpinBox *>(w);
            *value = shownNumber(box);
            if (const double *waiting = PendingNumber(w))
                *value = KeptNumber(box, c->kind, *waiting);
            return 0;
        }
        case CtrlKind::Slider:
            *value = static_cast<QSlider *>(w)->value();
            return 0;
        case CtrlKind::ProgressBar:
            *value = static_cast<QProgressBar *>(w)->value();
            return 0;
        case CtrlKind::Led:
            *value = static_cast<KLed *>(w)->isOn();
            return 0;
        default:
            return UIE_NOT_SUPPORTED;
    }
}

// Integer readings truncate toward zero.
template <typename T>
int GetWhole(int panel, int control, T *value) {
    double v = 0;
    const int result = GetNumber(panel, control, value ? &v : nullptr);
    if (result == 0) *value = static_cast<T>(v);
    return result;
}

constexpr const char *kFollowsEnd = "ktavFollowsEnd";

// Keeps the newest line of a text box in view, also when its range changes later (a scroll bar
// that appears, the panel laid out), until the box is reset.
void FollowEnd(QPlainTextEdit *box) {
    QScrollBar *bar = box->verticalScrollBar();
    if (!box->property(kFollowsEnd).isValid())
        QObject::connect(bar, &QScrollBar::rangeChanged, box, [box, bar](int, int maximum) {
            if (box->property(kFollowsEnd).toBool()) bar->setValue(maximum);
        });
    box->setProperty(kFollowsEnd, true);
    bar->setValue(bar->maximum());
}

QPlainTextEdit *TextBox(int panel, int control, const char *operation, int *error) {
    return static_cast<QPlainTextEdit *>(
        FindCtrlOfKind(panel, control, CtrlKind::PlainTextEdit, operation, error));
}

}  // namespace

double KeptNumber(const QWidget *w, CtrlKind kind, double value) {
    if (kind == CtrlKind::SpinBox) {
        auto *box = static_cast<const QSpinBox *>(w);
        return std::clamp<double>(std::trunc(value), box->minimum(), box->maximum());
    }
    auto *box = static_cast<const QDoubleSpinBox *>(w);
    return std::clamp(rounded(box, value), box->minimum(), box->maximum());
}

bool ShowsNumber(const QWidget *w, CtrlKind kind, double value) {
    if (w->hasFocus()) return false;
    if (kind == CtrlKind::SpinBox)
        return shownNumber(static_cast<const QSpinBox *>(w)) == std::trunc(value);
    auto *box = static_cast<const QDoubleSpinBox *>(w);
    const double shown = shownNumber(box);
    if (value == shown) return true;
    // A value more than one step of the last decimal away never rounds to the one shown; only a
    // near one is rounded as the box rounds it, which costs a number formatting.
    if (std::abs(value - shown) > std::pow(10.0, -box->decimals())) return false;
    return shown == rounded(box, value);
}

namespace {

constexpr const char *kWholeText = "wholeText";

// The room for text in a line edit, as it lays its text out.
int textRoom(const QLineEdit *edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    constexpr int kHorizontalMargins = 2 * 2;
    return r.marginsRemoved(edit->textMargins()).width() - kHorizontalMargins;
}

// A path in `room` pixels: whole when it fits, else its folders shortened in the middle and its
// file name whole, as far as the file name fits.
QString elidedPath(const QFontMetrics &metrics, const QString &path, int room) {
    if (metrics.horizontalAdvance(path) <= room) return path;
    const qsizetype cut = path.lastIndexOf('/') + 1;
    const QString name = path.mid(cut);
    const int nameRoom = metrics.horizontalAdvance(name);
    if (cut == 0 || nameRoom >= room) return metrics.elidedText(path, Qt::ElideLeft, room);
    return metrics.elidedText(path.left(cut), Qt::ElideMiddle, room - nameRoom) + name;
}

void showElided(QLineEdit *edit, const QString &text) {
    edit->setProperty(kWholeText, text);
    const QString shown = elidedPath(edit->fontMetrics(), text, textRoom(edit));
    edit->setToolTip(shown == text ? QString() : text);
    const QSignalBlocker blocker(edit);
    edit->setText(shown);
    edit->setCursorPosition(0);
}

// The line edit's value: the whole text of one that shows it elided.
QString textOf(const QLineEdit *edit) {
    return edit->property(kElideMiddle).toBool() ? edit->property(kWholeText).toString()
                                                 : edit->text();
}

}  // namespace

void ElideAgain(QWidget *edit) {
    if (edit->property(kElideMiddle).toBool())
        showElided(static_cast<QLineEdit *>(edit), edit->property(kWholeText).toString());
}

bool ShowsText(const QWidget *w, const QString &text) {
    if (const QString *drawn = DrawnText(w)) return *drawn == text;
    auto *edit = static_cast<const QLineEdit *>(w);
    return textOf(edit) == text && !edit->isModified();
}

void PutNumber(QWidget *w, CtrlKind kind, double value) {
    if (ShowsNumber(w, kind, value) || DrawNumber(w, kind, value)) return;
    const QSignalBlocker blocker(w);
    if (kind == CtrlKind::SpinBox)
        static_cast<QSpinBox *>(w)->setValue(static_cast<int>(std::trunc(value)));
    else
        static_cast<QDoubleSpinBox *>(w)->setValue(value);
}

void PutText(QWidget *w, const QString &text) {
    if (w->property(kElideMiddle).toBool()) return showElided(static_cast<QLineEdit *>(w), text);
    if (ShowsText(w, text) || DrawText(w, text)) return;
    const QSignalBlocker blocker(w);
    static_cast<QLineEdit *>(w)->setText(text);
}

int SetCtrlVal(int panel, int control, int value) {
    return SetNumber(panel, control, value);
}

int SetCtrlVal(int panel, int control, double value) {
    return SetNumber(panel, control, value);
}

int SetCtrlVal(int panel, int control, const char *value) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("SetCtrlVal", panel, control);
    if (!value) return UIE_BAD_VALUE;
    QWidget *w = c->widget;
    const QSignalBlocker blocker(w);
    switch (c->kind) {
        case CtrlKind::LineEdit: {
            const QString text = Text(value);
            // A path, set seldom, is laid out at once to its field's width.
            if (w->property(kElideMiddle).toBool() || !DeferText(w, c->kind, text))
                PutText(w, text);
            return 0;
        }
        case CtrlKind::Label:
            static_cast<QLabel *>(w)->setText(Text(value));
            return 0;
        case CtrlKind::PlainTextEdit: {
            // A text box collects what it is given: the text goes at its end, and the newest
            // line is kept in view.
            auto *box = static_cast<QPlainTextEdit *>(w);
            QTextCursor end(box->document());
            end.movePosition(QTextCursor::End);
            end.insertText(Text(value));
            FollowEnd(box);
            return 0;
        }
        case CtrlKind::ComboBox: {
            auto *combo = static_cast<QComboBox *>(w);
            if (!combo->isEditable()) return UIE_NOT_SUPPORTED;
            combo->setEditText(Text(value));
            return 0;
        }
        default:
            return UIE_NOT_SUPPORTED;
    }
}

int GetCtrlVal(int panel, int control, int *value) {
    return GetWhole(panel, control, value);
}

int GetCtrlVal(int panel, int control, short *value) {
    return GetWhole(panel, control, value);
}

int GetCtrlVal(int panel, int control, unsigned short *value) {
    return GetWhole(panel, control, value);
}

int GetCtrlVal(int panel, int control, double *value) {
    return GetNumber(panel, control, value);
}

int GetCtrlVal(int panel, int control, char *value, std::size_t size) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("GetCtrlVal", panel, control);
    QWidget *w = c->widget;
    switch (c->kind) {
        case CtrlKind::LineEdit: {
            const QString *shown = PendingText(w);
            if (!shown) shown = DrawnText(w);
            return CopyText(shown ? *shown : textOf(static_cast<QLineEdit *>(w)), value, size);
        }
        case CtrlKind::Label:
            return CopyText(static_cast<QLabel *>(w)->text(), value, size);
        case CtrlKind::PlainTextEdit:
            return CopyText(static_cast<QPlainTextEdit *>(w)->toPlainText(), value, size);
        case CtrlKind::ComboBox:
            return CopyText(static_cast<QComboBox *>(w)->currentText(), value, size);
        default:
            return UIE_NOT_SUPPORTED;
    }
}

int ResetTextBox(int panel, int control, const char *text) {
    int error;
    QPlainTextEdit *box = TextBox(panel, control, "ResetTextBox", &error);
    if (!box) return error;
    const QSignalBlocker blocker(box);
    if (box->property(kFollowsEnd).isValid()) box->setProperty(kFollowsEnd, false);
    box->setPlainText(Text(text));
    return 0;
}

int ReplaceTextBoxLine(int panel, int control, int line, const char *text) {
    int error;
    QPlainTextEdit *box = TextBox(panel, control, "ReplaceTextBoxLine", &error);
    if (!box) return error;
    if (line < 0) return UIE_BAD_INDEX;
    const QSignalBlocker blocker(box);
    QTextDocument *doc = box->document();
    // A line beyond the end is added with empty lines before it rather than lost.
    if (line >= doc->blockCount()) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(QString(line + 1 - doc->blockCount(), QChar('\n')));
    }
    QTextCursor cursor(doc->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(Text(text));
    return 0;
}
