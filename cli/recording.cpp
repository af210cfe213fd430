#include "recording.h"

#include <QFileInfo>
#include <string>

#include "cliargs.h"
#include "console.h"

namespace {
constexpr double kUmPerMm = 1000.0;
}  // namespace

int LoadRecording(const QCommandLineParser &args, RecFile &out) {
    const QString path = args.positionalArguments().value(1);
    int line = 0;
    std::string problem;
    const int result =
        ReadRecFile(QFileInfo(path).filePath().toLocal8Bit().toStdString(), out, line, problem);
    if (result == REC_READ_NO_FILE) return Fail(EXIT_NO_INPUT, "cannot read " + path);
    if (result != REC_READ_OK)
        return Fail(EXIT_DATA, QString("%1:%2: not a recorder file: %3")
                                   .arg(path)
                                   .arg(line)
                                   .arg(QString::fromStdString(problem)));
    return EXIT_OK;
}

Tolerances TolerancesOf(const QCommandLineParser &args) {
    Tolerances tol;
    if (args.isSet("upper")) tol.upper = args.value("upper").toDouble() * kUmPerMm;
    if (args.isSet("lower")) tol.lower = args.value("lower").toDouble() * kUmPerMm;
    return tol;
}
