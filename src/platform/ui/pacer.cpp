#include "platform/ui/pacer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>

#include "platform/ui/indicators.h"

namespace {

// Qt asks a window to repaint its dirty regions with one UpdateRequest event, and posts no new
// one until that request was served. A request that comes too soon after the window's last
// paint is held back and posted again when the interval is over; the dirty regions wait.
class RepaintPacer : public QObject {
  public:
    explicit RepaintPacer(QObject *parent) : QObject(parent) { clock_.start(); }

    void setInterval(int ms) { intervalMs_ = ms; }

  protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() != QEvent::UpdateRequest || !object->isWidgetType()) return false;
        Window &w = windows_[object];
        const qint64 now = clock_.elapsed();
        if (now - w.lastPaint >= intervalMs_) {
            w.lastPaint = now;
            w.held = false;
            ShowPendingValues(static_cast<QWidget *>(object));  // painted in this repaint
            return false;
        }
        if (!w.held) {
            w.held = true;
            QPointer<QObject> target(object);
            QTimer::singleShot(static_cast<int>(intervalMs_ - (now - w.lastPaint)), this, [target] {
                if (target) QCoreApplication::postEvent(target, new QEvent(QEvent::UpdateRequest));
            });
        }
        return true;
    }

  private:
    struct Window {
        qint64 lastPaint = -1000000;
        bool held = false;
    };
    QElapsedTimer clock_;
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
