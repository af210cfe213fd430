#include "gui/runtime/indicators.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <vector>

#include "gui/runtime/runtime.h"

namespace {

// One entry per display that ever waited; kept, so that a loop's cycles allocate nothing.
struct Pending {
    QPointer<QWidget> widget;
    CtrlKind kind;
    bool waiting = false;
    double number = 0.0;
    QString text;
};
std::vector<Pending> pending;

Pending *find(const QWidget *widget) {
    for (Pending &p : pending)
        if (p.widget == widget) return &p;
    return nullptr;
}

std::vector<QPointer<QWidget>> asked;  // windows asked for the repaint that shows their values

// Asks the window for a repaint without marking any display for it: the repaint puts the
// waiting values on the displays (the repaint pacer calls ShowPendingValues), and only a display
// whose value then changes is painted. A value written and written back within a cycle, or one
// that rounds to the value shown, costs no repaint.
void askRepaint(QWidget *window) {
    for (const QPointer<QWidget> &w : asked)
        if (w == window) return;
    asked.emplace_back(window);
    QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest));
}

// The entry of a display given a value to show, `p` when it has one already; asks for the
// repaint that will show the value.
Pending &entry(QWidget *widget, CtrlKind kind, Pending *p) {
    if (!p) {
        std::erase_if(pending, [](const Pending &e) { return e.widget.isNull(); });
        p = &pending.emplace_back();
        p->widget = widget;
        p->kind = kind;
    }
    if (!p->waiting) askRepaint(widget->window());
    p->waiting = true;
    return *p;
}

void show(Pending &p) {
    p.waiting = false;
    if (p.kind == CtrlKind::LineEdit)
        PutText(p.widget, p.text);
    else
        PutNumber(p.widget, p.kind, p.number);
}

}  // namespace

// A display that already shows the value, with no other value waiting, is left alone: a loop
// sets its set-point and tolerance displays on every cycle, and a repaint would change nothing.
bool DeferNumber(QWidget *widget, CtrlKind kind, double number) {
    if (kind != CtrlKind::SpinBox && kind != CtrlKind::DoubleSpinBox) return false;
    if (!static_cast<QAbstractSpinBox *>(widget)->isReadOnly()) return false;
    Pending *p = find(widget);
    if ((!p || !p->waiting) && ShowsNumber(widget, kind, number)) return true;
    entry(widget, kind, p).number = number;
    return true;
}

bool DeferText(QWidget *widget, CtrlKind kind, const QString &text) {
    if (kind != CtrlKind::LineEdit || !static_cast<QLineEdit *>(widget)->isReadOnly()) return false;
    Pending *p = find(widget);
    if ((!p || !p->waiting) && ShowsText(widget, text)) return true;
    entry(widget, kind, p).text = text;
    return true;
}

const double *PendingNumber(const QWidget *widget) {
    const Pending *p = find(widget);
    return p && p->waiting ? &p->number : nullptr;
}

const QString *PendingText(const QWidget *widget) {
    const Pending *p = find(widget);
    return p && p->waiting ? &p->text : nullptr;
}

void ShowPendingValues(const QWidget *window) {
    std::erase_if(asked,
                  [window](const QPointer<QWidget> &w) { return !w || !window || w == window; });
    for (Pending &p : pending)
        if (p.waiting && p.widget && (!window || p.widget->window() == window)) show(p);
}
