#include "core/system/timing.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <ctime>
#include <thread>

namespace {
const ClockStandIn *clockStandIn = nullptr;
}

void SetClockStandIn(const ClockStandIn *clock) {
    clockStandIn = clock;
}

void SelectEventDispatcher() {
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

double Timer() {
    if (clockStandIn) return clockStandIn->now();
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
    if (clockStandIn) {
        clockStandIn->wait(seconds);
        return;
    }
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        Delay(std::min(seconds, 0.001));
        return;
    }
    // One precise single-shot timer bounds the sleep; any other event ends it earlier. It is
    // armed again only when it would ring too late, so that the many short waits of a fast
    // exchange loop cost no timer registration; ringing too early only ends a wait early.
    static QTimer *waker = [app] {
        auto *t = new QTimer(app);
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    const int ms = static_cast<int>(std::ceil(seconds * 1000.0));
    if (!waker->isActive() || waker->remainingTime() > ms) waker->start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {

const char *formatNow(const char *format, char *buffer, std::size_t size) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (std::strftime(buffer, size, format, &local) == 0) buffer[0] = '\0';
    return buffer;
}

}  // namespace

const char *DateStr() {
    static char text[11];
    return formatNow("%m-%d-%Y", text, sizeof text);
}

const char *TimeStr() {
    static char text[9];
    return formatNow("%H:%M:%S", text, sizeof text);
}

void PostDeferredCall(std::function<void()> call) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(call));
}
