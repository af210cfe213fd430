#include "recording.h"

#include <QFile>
#include <cstdio>

#include "cliargs.h"
#include "console.h"
#include "core/measure/recsidecar.h"

namespace {

constexpr double kUmPerMm = 1000.0;

// The exit status of a reader result other than REC_READ_OK, with the problem shown.
int failure(const QCommandLineParser &args, const RecReader &reader, int result) {
    const QString path = RecordingPath(args);
    switch (result) {
        case REC_READ_NOT_FILE:
            return Fail(EXIT_NO_INPUT, path + " is not a file");
        case REC_READ_NOT_RECORD:
            return Fail(EXIT_DATA, QString("%1:%2: not a recorder file: %3")
                                       .arg(path)
                                       .arg(reader.errorLine)
                                       .arg(QString::fromStdString(reader.problem)));
        default:
            return Fail(EXIT_NO_INPUT, "cannot read " + path);
    }
}

}  // namespace

QString RecordingPath(const QCommandLineParser &args) {
    return args.isSet("from") ? args.value("from") : args.positionalArguments().value(1);
}

int OpenRecording(const QCommandLineParser &args, RecReader &reader, RecFileHeader &header) {
    const int result =
        OpenRecFile(reader, QFile::encodeName(RecordingPath(args)).toStdString(), header);
    return result == REC_READ_OK ? EXIT_OK : failure(args, reader, result);
}

int ForEachSample(const QCommandLineParser &args, RecReader &reader,
                  const std::function<void(const RecSample &)> &take) {
    RecSample sample;
    int result = REC_READ_OK;
    while ((result = ReadRecSample(reader, sample)) == REC_READ_OK) take(sample);
    if (result != REC_READ_END) return failure(args, reader, result);
    if (reader.cutLine > 0)
        std::fprintf(stderr, "k-tav-cli: warning: %s:%lld: the last line is cut off; left out\n",
                     qPrintable(RecordingPath(args)), static_cast<long long>(reader.cutLine));
    return EXIT_OK;
}

bool HasSetpointMode(const RecFileHeader &header) {
    return header.setpoint != 0;
}

int TolerancesOf(const QCommandLineParser &args, const RecFileHeader &header, Tolerances &tol) {
    if (args.isSet("setpoint"))
        tol.setpoint = args.value("setpoint").toDouble() * kUmPerMm;
    else if (HasSetpointMode(header))
        tol.setpoint = header.setpoint;
    if (args.isSet("upper")) tol.upper = args.value("upper").toDouble() * kUmPerMm;
    if (args.isSet("lower")) tol.lower = args.value("lower").toDouble() * kUmPerMm;
    if ((tol.upper || tol.lower) && !tol.setpoint)
        return Fail(EXIT_USAGE,
                    "the recording was not made in set-point mode (its set-point is 0); "
                    "--upper/--lower need --setpoint MM");
    return EXIT_OK;
}

std::string SidecarPair(const QCommandLineParser &args) {
    const std::optional<QJsonObject> sidecar = ReadRecordingSidecar(RecordingPath(args));
    return sidecar ? SidecarPairText(*sidecar).toStdString() : std::string();
}

std::string CalibrationOf(const QCommandLineParser &args, const RecFileHeader &h) {
    if (const std::optional<QJsonObject> sidecar = ReadRecordingSidecar(RecordingPath(args)))
        return SidecarCalibrationText(*sidecar).toStdString();
    return "MASTER offset " + std::to_string(h.offsetMaster) + " um, range " +
           std::to_string(h.rangeMaster) + " um; SLAVE offset " + std::to_string(h.offsetSlave) +
           " um, range " + std::to_string(h.rangeSlave) + " um";
}
