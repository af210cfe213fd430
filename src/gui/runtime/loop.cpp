// The run-time's event loop: RunUserInterface runs until QuitUserInterface.
#include <QEventLoop>
#include <optional>
#include <utility>

#include "gui/runtime/userint.h"

namespace {
QEventLoop *running = nullptr;
std::optional<int> quitBeforeRun;  // a quit asked for before the loop started
}  // namespace

int RunUserInterface() {
    if (quitBeforeRun) return std::exchange(quitBeforeRun, std::nullopt).value();
    QEventLoop loop;
    QEventLoop *outer = std::exchange(running, &loop);
    const int code = loop.exec();
    running = outer;
    return code;
}

int QuitUserInterface(int code) {
    if (running)
        running->exit(code);
    else
        quitBeforeRun = code;
    return 0;
}
