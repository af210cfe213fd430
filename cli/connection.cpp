#include "connection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <cstdio>

#include "cliargs.h"
#include "core/link/transport.h"
#include "core/params/appsettings.h"
#include "core/system/serial.h"
#include "ports.h"

namespace {

constexpr const char *kSettingsFile = "PX-MS-Vista.ini";
constexpr const char *kDefaultTcpPort = "10001";

void setTcp(const QString &host, const QString &portText) {
    comtype = 1;
    std::snprintf(szIPhostName, sizeof szIPhostName, "%s", host.toUtf8().constData());
    std::snprintf(szPortNum, sizeof szPortNum, "%s", portText.toUtf8().constData());
    tcp_portnum = PortNumberOfText(szPortNum);
}

void setSerial(int port, int baudIndex) {
    comtype = 0;
    rs232port = port;
    rs232baudrate = baudIndex;
}

// The port number of a device path: the one the program's mapping gives it, else port 1 mapped
// to the device for this run.
int portOfDevice(const QString &device) {
    if (const int port = PortNumberOfDevice(device); port > 0) return port;
    qputenv("KTAV_COM1", device.toLocal8Bit());
    return 1;
}

// Takes the connection from the options; EXIT_OK or EXIT_USAGE with the problem named.
int connectionOfOptions(const QCommandLineParser &args, QString &problem) {
    if (args.isSet("tcp")) {
        const QString text = args.value("tcp");
        const QString host = text.section(':', 0, 0);
        const QString port = text.contains(':') ? text.section(':', 1) : kDefaultTcpPort;
        if (host.isEmpty() || PortNumberOfText(port.toUtf8().constData()) <= 0) {
            problem = QString("--tcp needs HOST[:PORT], not '%1'").arg(text);
            return EXIT_USAGE;
        }
        setTcp(host, port);
        return EXIT_OK;
    }
    bool portOk = false, baudOk = true;
    const QString com = args.value("com");
    int port = com.toInt(&portOk);
    const int baud = args.isSet("baud") ? args.value("baud").toInt(&baudOk) : 4;
    if (com.contains('/')) {  // a device path, absolute or relative
        portOk = true;
        port = portOfDevice(com);
    }
    if (!portOk || port < 1 || port > 255) {
        problem = QString("--com needs a port number 1..255 or a device path, not '%1'").arg(com);
        return EXIT_USAGE;
    }
    if (!baudOk || baud < 0 || baud > 4) {
        problem = QString("--baud needs an index 0..4, not '%1'").arg(args.value("baud"));
        return EXIT_USAGE;
    }
    setSerial(port, baud);
    return EXIT_OK;
}

// Takes the connection stored in the settings file; EXIT_OK or EXIT_NO_INPUT.
int connectionOfSettings(const QCommandLineParser &args, QString &problem) {
    const QString path = SettingsFilePath(args);
    AppSettings settings;
    if (ReadAppSettings(QDir::toNativeSeparators(path).toLocal8Bit().constData(), settings) < 0) {
        problem = QString("cannot read the settings file %1 (give --tcp or --com)").arg(path);
        return EXIT_NO_INPUT;
    }
    if (settings.comtype == 1) {
        setTcp(QString::fromStdString(settings.hostName),
               QString::fromStdString(settings.portText));
        tcp_portnum = TcpPortOfSettings(settings);
    } else {
        setSerial(settings.rs232port, settings.rs232baudrate);
    }
    return EXIT_OK;
}

}  // namespace

QString SettingsFilePath(const QCommandLineParser &args) {
    const QString dir =
        args.isSet("dir") ? args.value("dir") : QCoreApplication::applicationDirPath();
    return QDir(dir).filePath(kSettingsFile);
}

int OpenConnection(const QCommandLineParser &args, QString &problem) {
    const bool fromOptions = args.isSet("tcp") || args.isSet("com");
    const int status =
        fromOptions ? connectionOfOptions(args, problem) : connectionOfSettings(args, problem);
    if (status != EXIT_OK) return status;
    if (comtype == 1) {
        if (InitTCP_IP() == 1) return EXIT_OK;
        problem = QString("cannot connect to %1:%2").arg(szIPhostName).arg(tcp_portnum);
    } else {
        rs232_con = InitRS232(rs232port, rs232baudrate);
        if (rs232_con == 1) return EXIT_OK;
        problem = QString("cannot open serial port %1 (%2)")
                      .arg(rs232port)
                      .arg(QString::fromStdString(ComDeviceName(rs232port)));
    }
    return EXIT_LINK;
}

void CloseConnection() {
    if (tcp_con > 0) CloseTCP();
    if (comtype == 0 && rs232_con == 1) CloseRS232();
}
