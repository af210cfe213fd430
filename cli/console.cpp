#include "console.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <string_view>

#include "core/link/frame.h"
#include "core/link/status.h"

namespace {

// Prints a text as one or more lines; the program's texts sometimes end with a line break.
void printLines(std::string_view text) {
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    std::fprintf(stderr, "%.*s\n", int(text.size()), text.data());
}

void printStatus(unsigned, const char *text) {
    printLines(text ? text : "");
}

void printFrame(bool request, const uint8_t *bytes, int count) {
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char *>(bytes), count).toHex(' ').toUpper();
    std::fprintf(stderr, "%s %s\n", request ? ">" : "<", hex.constData());
}

void keepSevereMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

void InstallConsole(bool verbose) {
    SetLinkView({printStatus, nullptr, nullptr});
    if (verbose) SetFrameTap(printFrame);
}

void KeepSevereMessagesOnly() {
    qInstallMessageHandler(keepSevereMessages);
}

void PrintNotice(const char *title, const char *message) {
    std::fprintf(stderr, "%s: ", title);
    printLines(message);
}

int Fail(int status, const QString &problem) {
    std::fprintf(stderr, "k-tav-cli: %s\n", qPrintable(problem));
    return status;
}
