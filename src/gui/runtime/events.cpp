// Qt input turned into the run-time's events. One event filter per panel watches the panel and
// its controls for mouse, key, close and resize events; the controls' own signals, which Qt
// emits for the operator's changes only (the setters block them), give value changed and commit.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHash>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include "gui/runtime/ktimer.h"
#include "gui/runtime/runtime.h"

namespace {

// Controls whose value the mouse wheel steps.
bool TakesWheelSteps(CtrlKind kind) {
    return kind == CtrlKind::ComboBox || kind == CtrlKind::SpinBox ||
           kind == CtrlKind::DoubleSpinBox || kind == CtrlKind::Slider;
}

class EventBridge : public QObject {
  public:
    EventBridge(int handle, QWidget *panel) : QObject(panel), handle_(handle), panel_(panel) {
        panel->installEventFilter(this);
    }

    void watch(QWidget *w, int control) {
        ids_.insert(w, control);
        w->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                mouse(watched, static_cast<QMouseEvent *>(event));
                return false;
            case QEvent::KeyPress:
                // A key the focus widget ignores travels on to its parents: report it once.
                if (watched == QApplication::focusWidget())
                    Dispatch(handle_, ids_.value(watched), EVENT_KEYPRESS,
                             static_cast<QKeyEvent *>(event)->key());
                return false;
            case QEvent::Close:
                if (watched != panel_) return false;
                event->ignore();  // the panel callback decides what a close does
                Dispatch(handle_, 0, EVENT_CLOSE);
                return true;
            case QEvent::Wheel:
                // The wheel changes only the value of the control being edited; over any other
                // control it does nothing, so that it never changes a parameter by accident.
                return !wheelChangesValue(static_cast<QWidget *>(watched));
            case QEvent::Resize:
                if (watched != panel_) ElideAgain(static_cast<QWidget *>(watched));
                if (watched == panel_) {
                    Panel *p = FindPanel(handle_);
                    if (p) FitToWindow(*p);
                    if (p && !p->sizing && panel_->isVisible())
                        Dispatch(handle_, 0, EVENT_PANEL_SIZE);
                }
                return false;
            default:
                return false;
        }
    }

  private:
    bool wheelChangesValue(QWidget *watched) const {
        const Control *c = FindCtrl(handle_, ids_.value(watched));
        if (!c || !TakesWheelSteps(c->kind)) return true;
        const QWidget *focus = QApplication::focusWidget();
        return focus && (focus == c->widget || c->widget->isAncestorOf(focus));
    }

    void mouse(QObject *watched, QMouseEvent *event) {
        if (!static_cast<QWidget *>(watched)->isEnabled()) return;  // dimmed: no input at all
        const bool twice = event->type() == QEvent::MouseButtonDblClick;
        int code = 0;
        if (event->button() == Qt::LeftButton)
            code = twice ? EVENT_LEFT_DOUBLE_CLICK : EVENT_LEFT_CLICK;
        if (event->button() == Qt::RightButton)
            code = twice ? EVENT_RIGHT_DOUBLE_CLICK : EVENT_RIGHT_CLICK;
        if (code == 0) return;
        const QPoint at = event->position().toPoint();
        Dispatch(handle_, ids_.value(watched), code, at.y(), at.x());
    }

    int handle_;
    QWidget *panel_;
    QHash<QObject *, int> ids_;  // watched widget -> control id; the panel itself is 0
};

// The child that takes the mouse for a control made of several widgets.
QWidget *InputChild(const Control &c) {
    switch (c.kind) {
        case CtrlKind::ComboBox:
            return static_cast<QComboBox *>(c.widget)->lineEdit();
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox:
            return c.widget->findChild<QLineEdit *>();
        case CtrlKind::PlainTextEdit:
            return static_cast<QPlainTextEdit *>(c.widget)->viewport();
        default:
            return nullptr;
    }
}

void ConnectSignals(EventBridge *bridge, int handle, int id, const Control &c) {
    auto changed = [=] { Dispatch(handle, id, EVENT_VAL_CHANGED); };
    auto commit = [=] { Dispatch(handle, id, EVENT_COMMIT); };
    switch (c.kind) {
        case CtrlKind::PushButton: {
            auto *button = static_cast<QPushButton *>(c.widget);
            QObject::connect(button, &QAbstractButton::clicked, bridge, [=] {
                if (button->isCheckable()) changed();
                commit();
            });
            break;
        }
        case CtrlKind::RadioButton:
        case CtrlKind::CheckBox: {
            auto *button = static_cast<QAbstractButton *>(c.widget);
            // Selectors switch on and off on their own; the program keeps a group consistent.
            button->setAutoExclusive(false);
            QObject::connect(button, &QAbstractButton::clicked, bridge, [=] {
                changed();
                commit();
            });
            break;
        }
        case CtrlKind::ComboBox: {
            auto *combo = static_cast<QComboBox *>(c.widget);
            QObject::connect(combo, &QComboBox::currentIndexChanged, bridge, changed);
            QObject::connect(combo, &QComboBox::activated, bridge, commit);
            if (QLineEdit *edit = combo->lineEdit()) {
                combo->setInsertPolicy(QComboBox::NoInsert);  // the program keeps the list
                QObject::connect(edit, &QLineEdit::textEdited, bridge, changed);
                QObject::connect(edit, &QLineEdit::editingFinished, bridge, [=] {
                    if (!edit->isModified()) return;
                    edit->setModified(false);
                    commit();
                });
            }
            break;
        }
        case CtrlKind::SpinBox:
        case CtrlKind::DoubleSpinBox: {
            // Without keyboard tracking the value changes on Enter, focus-out or an arrow step.
            static_cast<QAbstractSpinBox *>(c.widget)->setKeyboardTracking(false);
            auto both = [=] {
                changed();
                commit();
            };
            if (c.kind == CtrlKind::SpinBox)
                QObject::connect(static_cast<QSpinBox *>(c.widget), &QSpinBox::valueChanged, bridge,
                                 both);
            else
                QObject::connect(static_cast<QDoubleSpinBox *>(c.widget),
                                 &QDoubleSpinBox::valueChanged, bridge, both);
            break;
        }
        case CtrlKind::LineEdit: {
            auto *edit = static_cast<QLineEdit *>(c.widget);
            QObject::connect(edit, &QLineEdit::textEdited, bridge, changed);
            QObject::connect(edit, &QLineEdit::editingFinished, bridge, [=] {
                if (!edit->isModified()) return;
                edit->setModified(false);
                commit();
            });
            break;
        }
        case CtrlKind::Slider: {
            auto *slider = static_cast<QSlider *>(c.widget);
            QObject::connect(slider, &QSlider::valueChanged, bridge, [=] {
                changed();
                if (!slider->isSliderDown()) commit();  // keys and page steps commit at once
            });
            QObject::connect(slider, &QSlider::sliderReleased, bridge, commit);
            break;
        }
        case CtrlKind::PlainTextEdit:
            QObject::connect(static_cast<QPlainTextEdit *>(c.widget), &QPlainTextEdit::textChanged,
                             bridge, changed);
            break;
        case CtrlKind::Timer:
            QObject::connect(static_cast<KTimer *>(c.widget), &KTimer::tick, bridge,
                             [=] { Dispatch(handle, id, EVENT_TIMER_TICK); });
            break;
        case CtrlKind::Label:
        case CtrlKind::Graph:
        case CtrlKind::Led:
        case CtrlKind::ProgressBar:
            break;
    }
}

}  // namespace

void ConnectEvents(int handle, Panel &panel) {
    auto *bridge = new EventBridge(handle, panel.widget);
    // Clicks stay with the control or panel they hit; a right click is for the program's help
    // boxes, not for a context menu.
    panel.widget->setAttribute(Qt::WA_NoMousePropagation);
    for (const auto &[id, c] : panel.controls) {
        for (QWidget *w : {c.widget, InputChild(c)}) {
            if (!w) continue;
            w->setAttribute(Qt::WA_NoMousePropagation);
            w->setContextMenuPolicy(Qt::PreventContextMenu);
            bridge->watch(w, id);
        }
        // A wheel turned over a control does not give it the focus (and with it the steps).
        if (TakesWheelSteps(c.kind) && c.widget->focusPolicy() == Qt::WheelFocus)
            c.widget->setFocusPolicy(Qt::StrongFocus);
        ConnectSignals(bridge, handle, id, c);
    }
}
