// Starts the real mosquitto broker on a free loopback port for tests and the benchmark, and
// stops it again: never left running, never on another address.
#pragma once
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "core/system/timing.h"
#include "sim_process.h"

// The real mosquitto on a free loopback port, without persistence; stopped by the destructor.
class MosquittoProcess {
  public:
    MosquittoProcess() { endWithTest(proc_); }
    ~MosquittoProcess() { stop(); }

    // Starts the broker, on the port of the first start when started again: true once it
    // accepts connections.
    bool start() {
        if (port_ == 0) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) return false;
            port_ = probe.serverPort();
        }
        QFile conf(dir_.filePath("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly)) return false;
        conf.write("listener " + QByteArray::number(port_) +
                   " 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n");
        conf.close();
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start(QStandardPaths::findExecutable("mosquitto", {"/usr/sbin", "/usr/bin"}),
                    {"-c", conf.fileName()});
        for (const double deadline = Timer() + 10.0;
             Timer() < deadline && proc_.state() != QProcess::NotRunning; Delay(0.05)) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(port_));
            if (socket.waitForConnected(200)) return true;
        }
        return false;
    }
    void stop() { stopProcess(proc_); }
    int port() const { return port_; }

  private:
    QTemporaryDir dir_;
    QProcess proc_;
    int port_ = 0;
};
