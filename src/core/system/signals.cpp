#include "core/system/signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int wakePipe[2] = {-1, -1};
void (*terminationHandler)() = nullptr;

// Only async-signal-safe work here: one byte into the pipe wakes the event loop.
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
}

}  // namespace

void OnTerminationSignal(void (*handler)()) {
    terminationHandler = handler;
    if (wakePipe[0] >= 0 || !QCoreApplication::instance()) return;
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto *notifier =
        new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(wakePipe[0], bytes, sizeof bytes) > 0) {
        }
        if (terminationHandler) terminationHandler();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
