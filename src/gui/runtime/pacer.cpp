#include "gui/runtime/pacer.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <map>

#include "gui/runtime/indicators.h"

namespace {

// Qt asks a window to repaint its dirty regions with one UpdateRequest event, and posts no new
// one until that request was served. A request that comes too soon after the window's last
// paint is held back and posted again once the interval is over: just before the event loop
// next goes to sleep, so that the paint shares a wake-up the program makes anyway and, in a
// measuring loop, is done while the sensor prepares its reply. A timer posts it half an
// interval later if the event loop does not go to sleep by then.
class RepaintPacer : public QObject {
  public:
    explicit RepaintPacer(QObject *parent) : QObject(parent) {
        clock_.start();
        fallback_.setSingleShot(true);
        connect(&fallback_, &QTimer::timeout, this, [this] { postDue(); });
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                [this] {
                    if (fallback_.isActive()) postDue();
                });
    }

    void setInterval(int ms) { intervalMs_ = ms; }

  protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() != QEvent::UpdateRequest || !object->isWidgetType()) return false;
        Window &w = windows_[object];
        const qint64 now = clock_.elapsed();
        if (now - w.lastPaint >= intervalMs_) {
            w.lastPaint = now;
            w.held = nullptr;
            ShowPendingValues(static_cast<QWidget *>(object));  // painted in this repaint
            return false;
        }
        if (!w.held) {
            w.held = object;
            const qint64 due = w.lastPaint + intervalMs_ + intervalMs_ / 2;
            if (!fallback_.isActive() || fallback_.remainingTime() > due - now)
                fallback_.start(static_cast<int>(due - now));
        }
        return true;
    }

  private:
    // Posts the held requests whose interval is over; the timer waits for the others.
    void postDue() {
        const qint64 now = clock_.elapsed();
        qint64 next = -1;
        for (auto &[object, w] : windows_) {
            if (!w.held) continue;
            if (now - w.lastPaint >= intervalMs_) {
                QCoreApplication::postEvent(w.held, new QEvent(QEvent::UpdateRequest));
                w.held = nullptr;
            } else {
                const qint64 due = w.lastPaint + intervalMs_ + intervalMs_ / 2 - now;
                next = next < 0 ? due : std::min(next, due);
            }
        }
        if (next >= 0)
            fallback_.start(static_cast<int>(next));
        else
            fallback_.stop();
    }

    struct Window {
        qint64 lastPaint = -1000000;
        QPointer<QObject> held;  // the window while its request is held back
    };
    QElapsedTimer clock_;
    QTimer fallback_;
    int intervalMs_ = 33;
    std::map<QObject *, Window> windows_;
};

RepaintPacer *pacer = nullptr;

}  // namespace

void PaceRepaints(int maxPerSecond) {
    if (!QCoreApplication::instance() || maxPerSecond <= 0) return;
    if (!pacer) {
        pacer = new RepaintPacer(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(pacer);
    }
    pacer->setInterval(1000 / maxPerSecond);
}
