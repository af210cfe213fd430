#include "platform/timing.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

void SelectEventDispatcher() {
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

double Timer() {
    using clock = std::chrono::steady_clock;
    static const clock::time_point origin = clock::now();
    return std::chrono::duration<double>(clock::now() - origin).count();
}

void Delay(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void ProcessSystemEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForSystemEvents(double seconds) {
    if (seconds <= 0) return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        Delay(std::min(seconds, 0.001));
        return;
    }
    // One precise single-shot timer, reused, bounds the sleep; any other event ends it earlier.
    static QTimer *waker = [app] {
        auto *t = new QTimer(app);
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    waker->start(static_cast<int>(std::ceil(seconds * 1000.0)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    waker->stop();
}
