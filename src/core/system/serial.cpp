#include "core/system/serial.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "core/system/timing.h"

#ifdef __linux__
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

struct Port {
    QSerialPort *serial = nullptr;  // owned by the application object
    int timeoutMs = 5000;
    bool lostReported = false;
    unsigned opens = 0;  // a loss found before the port was opened again is not the new device's
#ifdef __linux__
    serial_icounter_struct counters{};  // last error counters seen by GetComStat
#endif
};

std::map<int, Port> ports;
std::map<int, ComStandIn *> standIns;
ComLostHandler lostHandler = nullptr;
ComBytesHandler bytesHandler = nullptr;

constexpr int kSmallestInputQueue = 1024;  // 0 would mean no bound at all

ComStandIn *standInOf(int port) {
    auto it = standIns.find(port);
    return it == standIns.end() ? nullptr : it->second;
}

Port *openPort(int port) {
    auto it = ports.find(port);
    if (it == ports.end() || !it->second.serial || !it->second.serial->isOpen()) return nullptr;
    return &it->second;
}

// Qt reports a port in use (locked, busy) as a permission error too: only a device that the
// user may not read and write is a lack of permission.
bool accessDenied(const std::string &device) {
#ifdef __linux__
    return ::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    (void)device;
    return false;
#endif
}

int mapOpenError(QSerialPort::SerialPortError e, const std::string &device) {
    switch (e) {
        case QSerialPort::DeviceNotFoundError:
            return kRS232NoPortFound;
        case QSerialPort::PermissionError:
            return accessDenied(device) ? kRS232PermissionDenied : kRS232CannotOpenPort;
        case QSerialPort::OpenError:
            return kRS232CannotOpenPort;
        case QSerialPort::UnsupportedOperationError:
            return kRS232InvalidParameter;
        case QSerialPort::TimeoutError:
            return kRS232Timeout;
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            return kRS232IOError;
        default:
            return kRS232UnknownSystemError;
    }
}

// Qt 6 reports a vanished device as a stream of read or resource errors while the port still
// claims to be open. The port is closed once, from the event loop (closing inside the
// notification would pull the notifier from under Qt), and the loss is reported once.
void watchForLoss(int port, QSerialPort *serial) {
    QObject::connect(serial, &QSerialPort::errorOccurred, serial,
                     [port, serial](QSerialPort::SerialPortError e) {
                         if (e != QSerialPort::ReadError && e != QSerialPort::ResourceError) return;
                         Port &p = ports[port];
                         if (p.lostReported) return;
                         p.lostReported = true;
                         QMetaObject::invokeMethod(
                             serial,
                             [port, serial, opens = p.opens] {
                                 if (ports[port].opens != opens) return;
                                 serial->close();
                                 if (lostHandler) lostHandler(port);
                             },
                             Qt::QueuedConnection);
                     });
}

}  // namespace

std::string ComDeviceName(int port) {
    const std::string var = "KTAV_COM" + std::to_string(port);
    if (const char *dev = std::getenv(var.c_str()); dev && *dev) return dev;
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string ComDeviceGroup(int port) {
#ifdef __linux__
    struct stat info {};
    if (::stat(ComDeviceName(port).c_str(), &info) != 0) return {};
    const group *owner = ::getgrgid(info.st_gid);
    return owner ? owner->gr_name : std::to_string(info.st_gid);
#else
    (void)port;
    return {};
#endif
}

void SetComStandIn(int port, ComStandIn *standIn) {
    if (standIn)
        standIns[port] = standIn;
    else
        standIns.erase(port);
}

void SetComLostHandler(ComLostHandler handler) {
    lostHandler = handler;
}

void SetComBytesHandler(ComBytesHandler handler) {
    bytesHandler = handler;
}

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int) {
    if (standInOf(port)) return 0;
    if (port < 1 || port > 255) return kRS232InvalidPortNumber;
    if (!QCoreApplication::instance()) return kRS232UnknownSystemError;
    if (parity < 0 || parity > 4 || dataBits < 5 || dataBits > 8 || stopBits < 1 || stopBits > 2 ||
        baudRate <= 0)
        return kRS232InvalidParameter;
    Port &p = ports[port];
    if (!p.serial) {
        p.serial = new QSerialPort(QCoreApplication::instance());
        QObject::connect(p.serial, &QObject::destroyed, [port] { ports.erase(port); });
        watchForLoss(port, p.serial);
        QObject::connect(p.serial, &QSerialPort::readyRead, p.serial, [port] {
            if (bytesHandler) bytesHandler(port);
        });
    }
    QSerialPort *s = p.serial;
    if (s->isOpen()) s->close();
    const std::string dev = deviceName && *deviceName ? deviceName : ComDeviceName(port);
    s->setPortName(QString::fromStdString(dev));
    s->setReadBufferSize(std::max(inputQueueSize, kSmallestInputQueue));
    p.lostReported = false;
    ++p.opens;
    if (!s->open(QIODevice::ReadWrite)) {
        const int code = mapOpenError(s->error(), dev);
        s->clearError();
        return code;
    }
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    const bool ok = s->setBaudRate(static_cast<qint32>(baudRate)) &&
                    s->setParity(parities[parity]) &&
                    s->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
                    s->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
                    s->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        s->close();
        s->clearError();
        return kRS232InvalidParameter;
    }
#ifdef __linux__
    p.counters = {};
    ioctl(static_cast<int>(s->handle()), TIOCGICOUNT, &p.counters);
#endif
    return 0;
}

int CloseCom(int port) {
    if (standInOf(port)) return 0;
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    p->serial->close();
    return 0;
}

int SetComTime(int port, double seconds) {
    if (standInOf(port)) return 0;
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    if (seconds < 0) return kRS232InvalidParameter;
    p->timeoutMs = static_cast<int>(seconds * 1000.0);
    return 0;
}

int SetCTSMode(int port, int mode) {
    if (standInOf(port)) return 0;
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    return p->serial->setFlowControl(mode ? QSerialPort::HardwareControl
                                          : QSerialPort::NoFlowControl)
               ? 0
               : kRS232InvalidParameter;
}

int ComWrt(int port, const void *buffer, int count) {
    if (ComStandIn *standIn = standInOf(port)) return standIn->write(buffer, count);
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    if (count <= 0) return 0;
    const qint64 n = p->serial->write(static_cast<const char *>(buffer), count);
    if (n < 0) return kRS232IOError;
    p->serial->flush();  // hand the bytes to the driver now rather than on the next event pass
    return static_cast<int>(n);
}

int ComRd(int port, void *buffer, int count) {
    if (ComStandIn *standIn = standInOf(port)) return standIn->read(buffer, count);
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    char *out = static_cast<char *>(buffer);
    int got = 0;
    const double deadline = Timer() + p->timeoutMs / 1000.0;
    while (got < count) {
        const qint64 n = p->serial->read(out + got, count - got);
        if (n < 0) return got > 0 ? got : kRS232IOError;
        got += static_cast<int>(n);
        if (got >= count) break;
        const double left = deadline - Timer();
        if (left <= 0 || !p->serial->isOpen()) break;
        p->serial->waitForReadyRead(std::max(1, static_cast<int>(left * 1000.0)));
        if (!openPort(port)) break;
    }
    return got;
}

int GetInQLen(int port) {
    if (ComStandIn *standIn = standInOf(port)) return standIn->waiting();
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    return static_cast<int>(p->serial->bytesAvailable());
}

int GetComStat(int port) {
    if (ComStandIn *standIn = standInOf(port)) return standIn->lineErrors();
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    int bits = 0;
#ifdef __linux__
    serial_icounter_struct now{};
    if (ioctl(static_cast<int>(p->serial->handle()), TIOCGICOUNT, &now) == 0) {
        if (now.overrun + now.buf_overrun > p->counters.overrun + p->counters.buf_overrun)
            bits |= kComInputLost;
        if (now.parity > p->counters.parity) bits |= kComParity;
        if (now.frame > p->counters.frame) bits |= kComFraming;
        p->counters = now;
    }
#endif
    return bits;
}

int FlushInQ(int port) {
    if (ComStandIn *standIn = standInOf(port)) {
        standIn->clearInput();
        return 0;
    }
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    p->serial->clear(QSerialPort::Input);
    return 0;
}

int FlushOutQ(int port) {
    if (standInOf(port)) return 0;
    Port *p = openPort(port);
    if (!p) return kRS232PortNotOpen;
    p->serial->clear(QSerialPort::Output);
    return 0;
}
