#include "session.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "core/link/status.h"
#include "core/system/timing.h"

namespace py = pybind11;

namespace {

const void *openPair = nullptr;
char failureCause[STATUS_SIZE];

void keepQuiet(unsigned, const char *) {}

void keepCause(const char *text) {
    std::snprintf(failureCause, sizeof failureCause, "%s", text ? text : "");
}

}  // namespace

void PrepareCore() {
    if (!QCoreApplication::instance()) {
        SelectEventDispatcher();
        static int argc = 1;
        static char name[] = "ktav";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);  // lives as long as the process
    }
    RequireCoreThread();
    SetLinkView({keepQuiet, nullptr, nullptr, keepCause});
}

void RequireCoreThread() {
    const QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        throw std::runtime_error(
            "ktav works in the thread that opened the first Pair of this process, where the "
            "sensor link delivers its events");
}

void ClaimCore(const void *pair) {
    if (openPair && openPair != pair)
        throw std::runtime_error(
            "another ktav.Pair is open in this process: the sensor link and its state belong to "
            "one process, so close that pair first (or use another process)");
    openPair = pair;
}

void ReleaseCore(const void *pair) {
    if (openPair == pair) openPair = nullptr;
}

const char *LastFailureCause() {
    return failureCause;
}

void ForgetFailureCause() {
    failureCause[0] = '\0';
}
