#include "platform/process.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <map>

namespace {

constexpr int kStartWaitMs = 5000;
constexpr int kEndWaitMs = 3000;

// Running programs by handle. Each process is a child of the application, so the programs
// still running end with the program at the latest.
std::map<int, QProcess *> &running() {
    static std::map<int, QProcess *> processes;
    return processes;
}

}  // namespace

int LaunchExecutableEx(const char *command, int, int *handle, ExecutableEndedCallback ended) {
    const QStringList words = QProcess::splitCommand(QString::fromUtf8(command ? command : ""));
    if (words.isEmpty()) return -1;
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(words.first());
    process->setArguments(words.mid(1));
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted(kStartWaitMs)) {
        delete process;
        return -1;
    }
    static int lastHandle = 0;
    const int id = ++lastHandle;
    running()[id] = process;
    if (ended) QObject::connect(process, &QProcess::finished, process, [ended, id] { ended(id); });
    if (handle) *handle = id;
    return 0;
}

int TerminateExecutable(int handle) {
    const auto found = running().find(handle);
    if (found == running().end()) return -1;
    QProcess *process = found->second;
    running().erase(found);
    process->disconnect();  // an end asked for is no news
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(kEndWaitMs)) {
            process->kill();
            process->waitForFinished(kEndWaitMs);
        }
    }
    process->deleteLater();  // it may be the process whose end is being told
    return 0;
}

int ExecutableHasTerminated(int handle) {
    const auto found = running().find(handle);
    return found == running().end() || found->second->state() == QProcess::NotRunning;
}
