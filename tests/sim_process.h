// Starts the simulator executable as a peer for end-to-end tests and stops it again.
// The simulator prints "TCP <host>:<port>", "PTY <path>" and "READY" on start-up.
// Every process a test starts ends with the test, however the test ends.
#pragma once
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include "core/link/transport.h"
#include "core/params/appsettings.h"
#include "core/system/timing.h"

// Run in a child of the test process `test` before its program starts: a process group of its
// own (a signal meant for the test's group does not reach it) and SIGKILL when the test process
// dies, even by SIGKILL or at its deadline, so that no child holds CTest's output open.
inline void endWithTest(pid_t test) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != test) ::_exit(127);  // the test died before the line above
}

// Makes `proc` end with the test; `more` runs in the child as well.
inline void endWithTest(QProcess &proc, std::function<void()> more = {}) {
    proc.setChildProcessModifier([test = ::getpid(), more] {
        endWithTest(test);
        if (more) more();
    });
}

// Sends `signal` to `proc` only while it is a child that has not been reaped: a process that
// has ended has no id, and kill(0) would reach the test's whole process group.
inline void signalChild(QProcess &proc, int signal) {
    const qint64 pid = proc.processId();
    if (proc.state() == QProcess::Running && pid > 0) ::kill(pid_t(pid), signal);
}

// Ends a process politely, then for good.
inline void stopProcess(QProcess &proc) {
    if (proc.state() == QProcess::NotRunning) return;
    proc.terminate();
    if (!proc.waitForFinished(5000)) proc.kill();
    proc.waitForFinished(5000);
}

class SimProcess {
  public:
    SimProcess() { endWithTest(proc_); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess() { stop(); }

    // Starts the simulator on a free loopback port and a pseudo-terminal, with extra options.
    // With `keepLog` its standard error (the frames of --verbose) is kept for log().
    bool start(const QStringList &options = {}, bool keepLog = false) {
        stop();
        port_ = 0;
        pty_.clear();
        proc_.setProgram(KTAV_SIM_PATH);
        proc_.setArguments(QStringList{"--tcp", "127.0.0.1:0", "--pty"} + options);
        proc_.setProcessChannelMode(keepLog ? QProcess::MergedChannels
                                            : QProcess::ForwardedErrorChannel);
        proc_.start();
        if (!proc_.waitForStarted(10000)) return false;
        const double deadline = Timer() + 20.0;
        while (Timer() < deadline) {
            while (proc_.canReadLine()) {
                const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
                if (line.startsWith("TCP ")) port_ = line.section(':', -1).toInt();
                if (line.startsWith("PTY ")) pty_ = line.mid(4).toStdString();
                if (line == "READY") return port_ > 0;
            }
            if (proc_.state() != QProcess::Running) return false;
            proc_.waitForReadyRead(200);
        }
        return false;
    }

    void stop() { stopProcess(proc_); }

    int tcpPort() const { return port_; }

    // What the simulator printed since the last call (with keepLog).
    QByteArray log() { return proc_.readAll(); }

    // Opens the program's transport to this simulator over TCP, or over its pseudo-terminal as
    // COM port `comPort` at 115200 baud: true when open.
    bool openTcp() const {
        comtype = 1;
        std::snprintf(szIPhostName, sizeof szIPhostName, "127.0.0.1");
        tcp_portnum = port_;
        return InitTCP_IP() == 1;
    }
    bool openSerial(int comPort) const {
        qputenv(("KTAV_COM" + std::to_string(comPort)).c_str(), QByteArray::fromStdString(pty_));
        comtype = 0;
        rs232port = comPort;
        return InitRS232(comPort, 4) == 1;
    }

    // Application settings that select this simulator over TCP.
    AppSettings tcpSettings() const {
        AppSettings settings;
        settings.comtype = 1;
        settings.hostName = "127.0.0.1";
        settings.portText = std::to_string(port_);
        return settings;
    }
    const std::string &ptyPath() const { return pty_; }
    QProcess &process() { return proc_; }

  private:
    QProcess proc_;
    int port_ = 0;
    std::string pty_;
};
