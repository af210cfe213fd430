// ports: the serial ports the system has, with the program's port number of each.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "cliargs.h"
#include "commands.h"
#include "ports.h"

namespace {

constexpr int kMaxPort = 255;

QString canonical(const QString &path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved;
}

// The port numbers named by KTAV_COM<n> variables, with their devices.
std::vector<std::pair<int, QString>> mappedPorts() {
    static const QRegularExpression name("^KTAV_COM([1-9][0-9]*)$");
    std::vector<std::pair<int, QString>> mapped;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys()) {
        const QRegularExpressionMatch m = name.match(key);
        const int port = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (port >= 1 && port <= kMaxPort && !env.value(key).isEmpty())
            mapped.emplace_back(port, env.value(key));
    }
    return mapped;
}

struct Row {
    int port;
    QString device, description, usb, serial;
};

QString orDash(const QString &text) {
    return text.isEmpty() ? "-" : text;
}

Row rowOf(const QString &device, const QSerialPortInfo &info) {
    QString usb;
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        usb = QString("%1:%2")
                  .arg(info.vendorIdentifier(), 4, 16, QChar('0'))
                  .arg(info.productIdentifier(), 4, 16, QChar('0'));
    QString description = info.description();
    if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
        description = (description + " (" + info.manufacturer() + ")").trimmed();
    return {PortNumberOfDevice(device), device, orDash(description), orDash(usb),
            orDash(info.serialNumber())};
}

// Prints the rows as aligned columns.
void printTable(const std::vector<Row> &rows) {
    const QStringList head = {"PORT", "DEVICE", "DESCRIPTION", "USB ID", "SERIAL NUMBER"};
    std::vector<QStringList> lines = {head};
    for (const Row &r : rows)
        lines.push_back(
            {r.port ? QString::number(r.port) : "-", r.device, r.description, r.usb, r.serial});
    std::vector<int> width(head.size(), 0);
    for (const QStringList &line : lines)
        for (int i = 0; i < line.size(); ++i) width[i] = std::max(width[i], int(line[i].size()));
    for (const QStringList &line : lines) {
        QString text;
        for (int i = 0; i < line.size(); ++i)
            text += i + 1 < line.size() ? line[i].leftJustified(width[i] + 2) : line[i];
        std::printf("%s\n", qPrintable(text));
    }
}

}  // namespace

int PortNumberOfDevice(const QString &device) {
    const QString path = canonical(device);
    const auto mapped = mappedPorts();
    int best = 0;
    for (const auto &[port, dev] : mapped)
        if (canonical(dev) == path && (best == 0 || port < best)) best = port;
    if (best) return best;
    static const QRegularExpression ttyS("^/dev/ttyS([0-9]+)$");
    const QRegularExpressionMatch m = ttyS.match(path);
    const int port = m.hasMatch() ? m.captured(1).toInt() + 1 : 0;
    const bool taken = std::any_of(mapped.begin(), mapped.end(),
                                   [port](const auto &entry) { return entry.first == port; });
    return port >= 1 && port <= kMaxPort && !taken ? port : 0;
}

int CmdPorts(const QCommandLineParser &) {
    std::vector<Row> rows;
    QStringList seen;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        rows.push_back(rowOf(info.systemLocation(), info));
        seen << canonical(info.systemLocation());
    }
    // Devices named by KTAV_COM<n> that the system does not list (pseudo-terminals, adapters
    // under another name) are ports of the program as well.
    for (const auto &[port, device] : mappedPorts()) {
        if (seen.contains(canonical(device))) continue;
        seen << canonical(device);
        rows.push_back(rowOf(device, QSerialPortInfo(device)));
    }
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        if ((a.port == 0) != (b.port == 0)) return a.port != 0;
        return a.port != b.port ? a.port < b.port : a.device < b.device;
    });
    printTable(rows);
    return EXIT_OK;
}
