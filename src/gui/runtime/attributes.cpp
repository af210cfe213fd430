// Control attributes: visibility, dimming, colours, captions, numeric limits, the control mode,
// the lamp colours, the timer's interval and state, and the graph's axes and strip-chart set-up.
// Like the value setters they block the control's signals: a limit that moves the value is the
// program's change, not the operator's.
#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

#include "gui/runtime/displaypaint.h"
#include "gui/runtime/kgraph.h"
#include "gui/runtime/kled.h"
#include "gui/runtime/ktimer.h"
#include "gui/runtime/runtime.h"

namespace {

// An attribute value: a number, or a text when text is set.
struct Value {
    double number = 0;
    const char *text = nullptr;
};

bool IsTextAttribute(int attribute) {
    return attribute == ATTR_LABEL_TEXT || attribute == ATTR_TOOLTIP_TEXT ||
           attribute == ATTR_XNAME || attribute == ATTR_YNAME;
}

// The palette roles a kind of control paints its text and the background of its text with.
QPalette::ColorRole TextRole(CtrlKind kind) {
    switch (kind) {
        case CtrlKind::PushButton:
        case CtrlKind::ComboBox:
            return QPalette::ButtonText;
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
        case CtrlKind::LineEdit:
        case CtrlKind::PlainTextEdit:
            return QPalette::Text;
        default:
            return QPalette::WindowText;
    }
}

QPalette::ColorRole BackgroundRole(CtrlKind kind) {
    switch (kind) {
        case CtrlKind::PushButton:
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox:
            return QPalette::Button;
        case CtrlKind::ComboBox:
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
        case CtrlKind::LineEdit:
        case CtrlKind::PlainTextEdit:
            return QPalette::Base;
        default:
            return QPalette::Window;
    }
}

// Text colours go to every text role and background colours to every background role, so that
// the colour shows whatever part of the control the style paints with.
void SetColors(QWidget *w, std::initializer_list<QPalette::ColorRole> roles, const QColor &color) {
    QPalette palette = w->palette();
    for (QPalette::ColorRole role : roles) palette.setColor(role, color);
    w->setPalette(palette);
}

// Controls without a caption of their own show the text of the label that names them as buddy.
QLabel *BuddyLabel(QWidget *w) {
    for (QLabel *label : w->window()->findChildren<QLabel *>())
        if (label->buddy() == w) return label;
    return nullptr;
}

int SetLabel(const Control &c, const QString &text) {
    switch (c.kind) {
        case CtrlKind::PushButton:
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox:
            static_cast<QAbstractButton *>(c.widget)->setText(text);
            return 0;
        case CtrlKind::Label:
            static_cast<QLabel *>(c.widget)->setText(text);
            return 0;
        case CtrlKind::Led:
            static_cast<KLed *>(c.widget)->setText(text);
            return 0;
        default:
            if (QLabel *label = BuddyLabel(c.widget)) {
                label->setText(text);
                return 0;
            }
            return UIE_BAD_ATTRIBUTE;
    }
}

QString Label(const Control &c) {
    switch (c.kind) {
        case CtrlKind::PushButton:
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox:
            return static_cast<QAbstractButton *>(c.widget)->text();
        case CtrlKind::Label:
            return static_cast<QLabel *>(c.widget)->text();
        case CtrlKind::Led:
            return static_cast<KLed *>(c.widget)->text();
        default:
            QLabel *label = BuddyLabel(c.widget);
            return label ? label->text() : QString();
    }
}

// Indicators show values but take no input: editable controls become read-only, the others
// let the mouse pass through.
void SetMode(const Control &c, bool hot) {
    switch (c.kind) {
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
            static_cast<QAbstractSpinBox *>(c.widget)->setReadOnly(!hot);
            break;
        case CtrlKind::LineEdit:
            static_cast<QLineEdit *>(c.widget)->setReadOnly(!hot);
            break;
        case CtrlKind::PlainTextEdit:
            static_cast<QPlainTextEdit *>(c.widget)->setReadOnly(!hot);
            break;
        default:
            c.widget->setAttribute(Qt::WA_TransparentForMouseEvents, !hot);
            c.widget->setFocusPolicy(hot ? Qt::StrongFocus : Qt::NoFocus);
    }
}

bool IsHot(const Control &c) {
    switch (c.kind) {
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
            return !static_cast<QAbstractSpinBox *>(c.widget)->isReadOnly();
        case CtrlKind::LineEdit:
            return !static_cast<QLineEdit *>(c.widget)->isReadOnly();
        case CtrlKind::PlainTextEdit:
            return !static_cast<QPlainTextEdit *>(c.widget)->isReadOnly();
        default:
            return !c.widget->testAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

// Minimum, maximum and step of the numeric controls and sliders.
int SetRange(const Control &c, int attribute, double v) {
    const int whole = static_cast<int>(std::trunc(v));
    if (c.kind == CtrlKind::DoubleSpinBox) {
        auto *spin = static_cast<QDoubleSpinBox *>(c.widget);
        if (attribute == ATTR_MIN_VALUE) spin->setMinimum(v);
        if (attribute == ATTR_MAX_VALUE) spin->setMaximum(v);
        if (attribute == ATTR_INCR_VALUE) spin->setSingleStep(v);
        return 0;
    }
    if (c.kind == CtrlKind::SpinBox) {
        auto *spin = static_cast<QSpinBox *>(c.widget);
        if (attribute == ATTR_MIN_VALUE) spin->setMinimum(whole);
        if (attribute == ATTR_MAX_VALUE) spin->setMaximum(whole);
        if (attribute == ATTR_INCR_VALUE) spin->setSingleStep(whole);
        return 0;
    }
    if (c.kind == CtrlKind::Slider) {
        auto *slider = static_cast<QSlider *>(c.widget);
        if (attribute == ATTR_MIN_VALUE) slider->setMinimum(whole);
        if (attribute == ATTR_MAX_VALUE) slider->setMaximum(whole);
        if (attribute == ATTR_INCR_VALUE) slider->setSingleStep(whole);
        return 0;
    }
    if (c.kind == CtrlKind::ProgressBar && attribute != ATTR_INCR_VALUE) {
        auto *bar = static_cast<QProgressBar *>(c.widget);
        if (attribute == ATTR_MIN_VALUE) bar->setMinimum(whole);
        if (attribute == ATTR_MAX_VALUE) bar->setMaximum(whole);
        return 0;
    }
    return UIE_BAD_ATTRIBUTE;
}

int GetRange(const Control &c, int attribute, double *v) {
    if (c.kind == CtrlKind::DoubleSpinBox) {
        auto *spin = static_cast<QDoubleSpinBox *>(c.widget);
        *v = attribute == ATTR_MIN_VALUE   ? spin->minimum()
             : attribute == ATTR_MAX_VALUE ? spin->maximum()
                                           : spin->singleStep();
        return 0;
    }
    if (c.kind == CtrlKind::SpinBox) {
        auto *spin = static_cast<QSpinBox *>(c.widget);
        *v = attribute == ATTR_MIN_VALUE   ? spin->minimum()
             : attribute == ATTR_MAX_VALUE ? spin->maximum()
                                           : spin->singleStep();
        return 0;
    }
    if (c.kind == CtrlKind::Slider) {
        auto *slider = static_cast<QSlider *>(c.widget);
        *v = attribute == ATTR_MIN_VALUE   ? slider->minimum()
             : attribute == ATTR_MAX_VALUE ? slider->maximum()
                                           : slider->singleStep();
        return 0;
    }
    if (c.kind == CtrlKind::ProgressBar && attribute != ATTR_INCR_VALUE) {
        auto *bar = static_cast<QProgressBar *>(c.widget);
        *v = attribute == ATTR_MIN_VALUE ? bar->minimum() : bar->maximum();
        return 0;
    }
    return UIE_BAD_ATTRIBUTE;
}

int SetGraph(KGraph *graph, int attribute, const Value &v) {
    const int whole = static_cast<int>(v.number);
    switch (attribute) {
        case ATTR_XNAME:
            graph->setXName(Text(v.text));
            return 0;
        case ATTR_YNAME:
            graph->setYName(Text(v.text));
            return 0;
        case ATTR_XPRECISION:
            graph->setXPrecision(whole);
            return 0;
        case ATTR_YPRECISION:
            graph->setYPrecision(whole);
            return 0;
        case ATTR_POINTS_PER_SCREEN:
            if (whole < 2) return UIE_BAD_VALUE;
            graph->setPointsPerScreen(whole);
            return 0;
        case ATTR_SCROLL_MODE:
            return whole == VAL_CONTINUOUS ? 0 : UIE_BAD_VALUE;  // the one mode drawn
        case ATTR_NUM_TRACES:
            if (whole < 1 || whole > KGraph::kMaxTraces) return UIE_BAD_VALUE;
            graph->setTraceCount(whole);
            return 0;
        default:
            return UIE_BAD_ATTRIBUTE;
    }
}

int GetGraph(const KGraph *graph, int attribute, double *number, QString *text) {
    switch (attribute) {
        case ATTR_XNAME:
            *text = graph->xName();
            return 0;
        case ATTR_YNAME:
            *text = graph->yName();
            return 0;
        case ATTR_XPRECISION:
            *number = graph->xPrecision();
            return 0;
        case ATTR_YPRECISION:
            *number = graph->yPrecision();
            return 0;
        case ATTR_POINTS_PER_SCREEN:
            *number = graph->pointsPerScreen();
            return 0;
        case ATTR_SCROLL_MODE:
            *number = VAL_CONTINUOUS;
            return 0;
        case ATTR_NUM_TRACES:
            *number = graph->traceCount();
            return 0;
        default:
            return UIE_BAD_ATTRIBUTE;
    }
}

int Set(const Control &c, int attribute, const Value &v) {
    if (IsTextAttribute(attribute) != (v.text != nullptr)) return UIE_BAD_VALUE;
    QWidget *w = c.widget;
    const QSignalBlocker blocker(w);
    switch (attribute) {
        case ATTR_VISIBLE:
            if (c.kind == CtrlKind::Timer) return UIE_BAD_ATTRIBUTE;
            w->setVisible(v.number != 0);
            return 0;
        case ATTR_DIMMED:
            w->setEnabled(v.number == 0);
            return 0;
        case ATTR_TEXT_COLOR:
            SetColors(w, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
                      Rgb(static_cast<int>(v.number)));
            return 0;
        case ATTR_TEXT_BGCOLOR:
            SetColors(w, {QPalette::Window, QPalette::Base, QPalette::Button},
                      Rgb(static_cast<int>(v.number)));
            if (BackgroundRole(c.kind) == QPalette::Window) w->setAutoFillBackground(true);
            return 0;
        case ATTR_LABEL_TEXT:
            return SetLabel(c, Text(v.text));
        case ATTR_TOOLTIP_TEXT:
            w->setToolTip(Text(v.text));
            return 0;
        case ATTR_TEXT_POINT_SIZE: {
            if (v.number <= 0) return UIE_BAD_VALUE;
            QFont font = w->font();
            font.setPointSizeF(v.number);
            w->setFont(font);
            return 0;
        }
        case ATTR_CTRL_MODE:
            if (v.number != VAL_HOT && v.number != VAL_INDICATOR) return UIE_BAD_VALUE;
            SetMode(c, v.number == VAL_HOT);
            return 0;
        case ATTR_PRECISION:
            if (c.kind != CtrlKind::DoubleSpinBox) return UIE_BAD_ATTRIBUTE;
            static_cast<QDoubleSpinBox *>(w)->setDecimals(static_cast<int>(v.number));
            return 0;
        case ATTR_MIN_VALUE:
        case ATTR_MAX_VALUE:
        case ATTR_INCR_VALUE:
            return SetRange(c, attribute, v.number);
        case ATTR_ON_COLOR:
        case ATTR_OFF_COLOR:
            if (c.kind != CtrlKind::Led) return UIE_BAD_ATTRIBUTE;
            if (attribute == ATTR_ON_COLOR)
                static_cast<KLed *>(w)->setOnColor(Rgb(static_cast<int>(v.number)));
            if (attribute == ATTR_OFF_COLOR)
                static_cast<KLed *>(w)->setOffColor(Rgb(static_cast<int>(v.number)));
            return 0;
        case ATTR_INTERVAL:
            if (c.kind != CtrlKind::Timer) return UIE_BAD_ATTRIBUTE;
            if (v.number <= 0) return UIE_BAD_VALUE;
            static_cast<KTimer *>(w)->setInterval(v.number);
            return 0;
        case ATTR_ENABLED:
            if (c.kind != CtrlKind::Timer) return UIE_BAD_ATTRIBUTE;
            static_cast<KTimer *>(w)->setActive(v.number != 0);
            return 0;
        default:
            if (c.kind != CtrlKind::Graph) return UIE_BAD_ATTRIBUTE;
            return SetGraph(static_cast<KGraph *>(w), attribute, v);
    }
}

int Get(const Control &c, int attribute, double *number, QString *text) {
    const QWidget *w = c.widget;
    switch (attribute) {
        case ATTR_VISIBLE:
            *number = w->isVisibleTo(w->parentWidget());  // shown once its panel is
            return 0;
        case ATTR_DIMMED:
            *number = !w->isEnabled();
            return 0;
        case ATTR_TEXT_COLOR:
            *number = RgbOf(w->palette().color(TextRole(c.kind)));
            return 0;
        case ATTR_TEXT_BGCOLOR:
            *number = RgbOf(w->palette().color(BackgroundRole(c.kind)));
            return 0;
        case ATTR_LABEL_TEXT:
            *text = Label(c);
            return 0;
        case ATTR_TOOLTIP_TEXT:
            *text = w->toolTip();
            return 0;
        case ATTR_TEXT_POINT_SIZE:
            *number = w->font().pointSizeF();
            return 0;
        case ATTR_CTRL_MODE:
            *number = IsHot(c) ? VAL_HOT : VAL_INDICATOR;
            return 0;
        case ATTR_PRECISION:
            if (c.kind != CtrlKind::DoubleSpinBox) return UIE_BAD_ATTRIBUTE;
            *number = static_cast<const QDoubleSpinBox *>(w)->decimals();
            return 0;
        case ATTR_MIN_VALUE:
        case ATTR_MAX_VALUE:
        case ATTR_INCR_VALUE:
            return GetRange(c, attribute, number);
        case ATTR_ON_COLOR:
        case ATTR_OFF_COLOR:
            if (c.kind != CtrlKind::Led) return UIE_BAD_ATTRIBUTE;
            *number = RgbOf(attribute == ATTR_ON_COLOR ? static_cast<const KLed *>(w)->onColor()
                                                       : static_cast<const KLed *>(w)->offColor());
            return 0;
        case ATTR_INTERVAL:
        case ATTR_ENABLED:
            if (c.kind != CtrlKind::Timer) return UIE_BAD_ATTRIBUTE;
            *number = attribute == ATTR_INTERVAL ? static_cast<const KTimer *>(w)->interval()
                                                 : static_cast<const KTimer *>(w)->isActive();
            return 0;
        default:
            if (c.kind != CtrlKind::Graph) return UIE_BAD_ATTRIBUTE;
            return GetGraph(static_cast<const KGraph *>(w), attribute, number, text);
    }
}

// Moves a control to a place given in the panel's coordinates (it may sit in a frame) and
// raises it, so that a floating box shows above the panel's other contents.
int Move(int panel, Control &c, int attribute, int value) {
    QWidget *w = c.widget;
    QWidget *panelWidget = FindPanel(panel)->widget;
    QPoint at = w->mapTo(panelWidget, QPoint(0, 0));
    (attribute == ATTR_TOP ? at.ry() : at.rx()) = value;
    w->move(w->parentWidget() ? w->parentWidget()->mapFrom(panelWidget, at) : at);
    w->raise();
    return 0;
}

int SetAttribute(int panel, int control, int attribute, const Value &v) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("SetCtrlAttribute", panel, control);
    if (attribute == ATTR_TOP || attribute == ATTR_LEFT)
        return Move(panel, *c, attribute, static_cast<int>(v.number));
    // A display the attribute changes (range, decimals, mode, colours) shows its value as its
    // widget does from then on.
    SettleDisplay(c->widget);
    return Set(*c, attribute, v);
}

// Reads a numeric attribute (text == nullptr) or a text attribute.
int GetAttribute(int panel, int control, int attribute, double *number, QString *text) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("GetCtrlAttribute", panel, control);
    if (IsTextAttribute(attribute) != (text != nullptr)) return UIE_BAD_VALUE;
    if (number && (attribute == ATTR_TOP || attribute == ATTR_LEFT)) {
        const QPoint at = c->widget->mapTo(FindPanel(panel)->widget, QPoint(0, 0));
        *number = attribute == ATTR_TOP ? at.y() : at.x();
        return 0;
    }
    double unused = 0;
    QString none;
    return Get(*c, attribute, number ? number : &unused, text ? text : &none);
}

}  // namespace

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return SetAttribute(panel, control, attribute, {static_cast<double>(value)});
}

int SetCtrlsAttribute(int panel, std::initializer_list<int> controls, int attribute, int value) {
    int result = 0;
    for (int control : controls) {
        const int r = SetCtrlAttribute(panel, control, attribute, value);
        if (result == 0) result = r;
    }
    return result;
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    return SetAttribute(panel, control, attribute, {value});
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    if (!value) return UIE_BAD_VALUE;
    return SetAttribute(panel, control, attribute, {0, value});
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    if (!value) return UIE_BAD_VALUE;
    double number = 0;
    const int result = GetAttribute(panel, control, attribute, &number, nullptr);
    if (result == 0) *value = static_cast<int>(number);
    return result;
}

int GetCtrlAttribute(int panel, int control, int attribute, double *value) {
    if (!value) return UIE_BAD_VALUE;
    return GetAttribute(panel, control, attribute, value, nullptr);
}

int GetCtrlAttribute(int panel, int control, int attribute, char *value, std::size_t size) {
    QString text;
    const int result = GetAttribute(panel, control, attribute, nullptr, &text);
    return result == 0 ? CopyText(text, value, size) : result;
}

int GetCtrlBoundingRect(int panel, int control, int *top, int *left, int *height, int *width) {
    Control *c = FindCtrl(panel, control);
    if (!c) return LookupError("GetCtrlBoundingRect", panel, control);
    if (!top || !left || !height || !width) return UIE_BAD_VALUE;
    // Controls may sit in frames and layouts: the rectangle is in the panel's coordinates.
    const QPoint at = c->widget->mapTo(FindPanel(panel)->widget, QPoint(0, 0));
    *top = at.y();
    *left = at.x();
    *height = c->widget->height();
    *width = c->widget->width();
    return 0;
}
