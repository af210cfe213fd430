// Keeps the field the operator types into clear of an on-screen keyboard at the bottom of the
// screen, by lifting the child panel that holds it while it has the focus.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "gui/runtime/runtime.h"
#include "gui/runtime/screen.h"

namespace {

constexpr int kMargin = 4;  // pixels between the field and the keyboard

int windowPanel = 0;       // the panel whose window the keyboard serves
int keyboardHeight = 0;    // the lower part of the screen it takes; 0: no keyboard
QPointer<QWidget> lifted;  // the child panel lifted for the focused field, while it is
QPoint home, liftedTo;     // where it was placed, and where it was lifted to

// Entries that take typed text: line edits, spin boxes and editable combo boxes that are not
// read-only (a read-only one is a display).
bool typedInto(const QWidget *w) {
    if (auto *edit = qobject_cast<const QLineEdit *>(w)) return !edit->isReadOnly();
    if (auto *spin = qobject_cast<const QAbstractSpinBox *>(w)) return !spin->isReadOnly();
    if (auto *combo = qobject_cast<const QComboBox *>(w)) return combo->isEditable();
    return false;
}

// The panel that holds `w`: its nearest ancestor that a panel file made.
QWidget *panelOf(QWidget *w) {
    while (w && !w->property("resourceId").isValid()) w = w->parentWidget();
    return w;
}

// Puts the lifted panel back, unless the program has placed it anew meanwhile.
void putBack() {
    if (lifted && lifted->pos() == liftedTo) lifted->move(home);
    lifted = nullptr;
}

// Lifts the panel of the field that took the focus as far as the keyboard needs.
void followFocus(QWidget *now) {
    putBack();
    const Panel *window = FindPanel(windowPanel);
    if (keyboardHeight <= 0 || !window || !now || !typedInto(now) ||
        now->window() != window->widget->window())
        return;
    // A spin box's or combo box's own line edit stands for its box.
    if (QWidget *box = now->parentWidget(); box && typedInto(box)) now = box;
    QWidget *panel = panelOf(now);
    if (!panel || panel == window->widget) return;
    const QRect screen = now->screen()->geometry();
    const int top = now->mapToGlobal(QPoint(0, 0)).y();
    const int over = top + now->height() + kMargin - (screen.bottom() + 1 - keyboardHeight);
    const int lift = std::min(over, top - screen.top());  // never above the screen
    if (lift <= 0) return;
    home = panel->pos();
    liftedTo = home - QPoint(0, lift);
    lifted = panel;
    panel->move(liftedTo);
}

}  // namespace

int KeepFocusAbove(int panel, int height) {
    if (height > 0 && !FindPanel(panel)) return LookupError("KeepFocusAbove", panel);
    static const QMetaObject::Connection following = QObject::connect(
        qApp, &QApplication::focusChanged, qApp, [](QWidget *, QWidget *now) { followFocus(now); });
    windowPanel = panel;
    keyboardHeight = std::max(height, 0);
    followFocus(QApplication::focusWidget());
    return 0;
}
