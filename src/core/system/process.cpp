#include "core/system/process.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <map>

namespace {

constexpr int kStartWaitMs = 5000;
constexpr int kEndWaitMs = 3000;
constexpr qsizetype kErrorTail = 4096;  // bytes of a program's standard error that are kept

struct Running {
    QProcess *process;
    QByteArray errorTail;  // the last bytes it wrote on its standard error
};

// Running programs by handle. Each process is a child of the application, so the programs
// still running end with the program at the latest.
std::map<int, Running> &running() {
    static std::map<int, Running> processes;
    return processes;
}

Running *find(int handle) {
    const auto found = running().find(handle);
    return found == running().end() ? nullptr : &found->second;
}

// Passes what the program wrote on its standard error on and keeps the last of it.
void takeErrorOutput(int handle) {
    Running *r = find(handle);
    if (!r) return;
    const QByteArray bytes = r->process->readAllStandardError();
    std::fwrite(bytes.constData(), 1, bytes.size(), stderr);
    r->errorTail += bytes;
    if (r->errorTail.size() > kErrorTail) r->errorTail.remove(0, r->errorTail.size() - kErrorTail);
}

}  // namespace

int LaunchExecutableEx(const char *command, int, int *handle, ExecutableEndedCallback ended,
                       std::string *whyNot) {
    const QStringList words = QProcess::splitCommand(QString::fromUtf8(command ? command : ""));
    if (words.isEmpty()) {
        if (whyNot) *whyNot = "no command";
        return -1;
    }
    auto *process = new QProcess(QCoreApplication::instance());
    process->setProgram(words.first());
    process->setArguments(words.mid(1));
    process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process->start();
    if (!process->waitForStarted(kStartWaitMs)) {
        if (whyNot) *whyNot = process->errorString().toStdString();
        delete process;
        return -1;
    }
    static int lastHandle = 0;
    const int id = ++lastHandle;
    running()[id] = {process, {}};
    QObject::connect(process, &QProcess::readyReadStandardError, process,
                     [id] { takeErrorOutput(id); });
    if (ended)
        QObject::connect(process, &QProcess::finished, process, [ended, id] {
            takeErrorOutput(id);
            ended(id);
        });
    if (handle) *handle = id;
    return 0;
}

int TerminateExecutable(int handle) {
    Running *r = find(handle);
    if (!r) return -1;
    QProcess *process = r->process;
    running().erase(handle);
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
    const Running *r = find(handle);
    return !r || r->process->state() == QProcess::NotRunning;
}

int ExecutableFailed(int handle) {
    const Running *r = find(handle);
    if (!r || r->process->state() != QProcess::NotRunning) return 0;
    return r->process->exitStatus() != QProcess::NormalExit || r->process->exitCode() != 0;
}

std::string ExecutableErrorOutput(int handle) {
    const Running *r = find(handle);
    return r ? r->errorTail.toStdString() : std::string();
}
