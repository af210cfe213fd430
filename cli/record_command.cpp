// record: the recorder file from the command line, through the program's recording loop; with
// --json each sample and how the recording ended on standard output.
#include <QCommandLineParser>
#include <QFile>
#include <cstdio>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "json_output.h"
#include "link/calibheader.h"
#include "link/commands.h"
#include "link/xflash.h"
#include "measure/recfile.h"
#include "measure/recorder.h"
#include "params/transfer.h"
#include "platform/signals.h"
#include "shared/state.h"

namespace {

// Ctrl-C ends the recording in order, as the recorder's STOP does.
void onInterrupt() {
    stop_flag = STOP_IDLE;
}

// --json: each sample as it is taken, numbered as its line in the file, and the number of
// samples the recording wrote.
unsigned samplesTaken = 0;
unsigned samplesWritten = 0;

void printSample() {
    QJsonObject sample = MeasurementJson(JsonTimeStamp(), raw);
    sample.insert("sample", qint64(++samplesTaken));
    PrintJson(sample);
}

void countWritten(unsigned n) {
    samplesWritten = n;
}

const char *endName(RecordEnd end) {
    switch (end) {
        case RecordEnd::Completed:
            return "completed";
        case RecordEnd::Stopped:
            return "stopped";
        case RecordEnd::Timeout:
            return "timeout";
        case RecordEnd::FileError:
            break;
    }
    return "file error";
}

// The last line of --json: how the recording ended, the samples in the file, the damaged trigger
// records dropped and, after a time-out or a failed write, the cause.
void printSummary(const QCommandLineParser &args, const RecordOutcome &outcome) {
    QJsonObject summary{{"end", endName(outcome.end)},
                        {"file", args.value("out")},
                        {"samples", qint64(samplesWritten)},
                        {"dropped", qint64(outcome.dropped)}};
    if (outcome.cause[0] != '\0') summary.insert("cause", QString::fromLocal8Bit(outcome.cause));
    PrintJson(summary);
}

int cannotWrite(const QCommandLineParser &args, const char *cause) {
    return Fail(EXIT_CANT_CREATE, QString("cannot write %1: %2").arg(args.value("out"), cause));
}

}  // namespace

bool ReadEvaluationSettings() {
    for (int sensor : {1, 2})
        if (ReadCalibDataFromXF(&calib[sensor - 1], sensor, sizeof(CalibHeader)) != 1) return false;
    return GetAllSets(RAM);
}

int CheckRecordOutput(const QCommandLineParser &args) {
    const QString out = args.value("out");
    if (QFile::exists(out))
        return Fail(EXIT_CANT_CREATE, QString("%1 exists already; it is not overwritten").arg(out));
    return EXIT_OK;
}

int CmdRecord(const QCommandLineParser &args) {
    const QByteArray path = QFile::encodeName(args.value("out"));
    const bool trigger = args.isSet("trigger");
    const double interval = args.value("interval").toDouble();
    const unsigned count = args.isSet("count") ? args.value("count").toUInt() : REC_MAX_SAMPLES;
    if (!ReadEvaluationSettings())
        return Fail(EXIT_LINK, "cannot read the parameter sets and the calibration headers");
    const RecHeader header = trigger ? CurrentRecHeader(0.0, REC_MAX_SAMPLES, false)
                                     : CurrentRecHeader(interval, count, true);
    // Created only now, in one step with the check that it does not exist: another recording
    // may have taken the name since the check before connecting.
    if (CreateRecFile(path.constData(), header) != 1) return cannotWrite(args, RecFileError());
    OnTerminationSignal(onInterrupt);
    const bool json = args.isSet("json");
    const RecorderView view{nullptr, json ? printSample : nullptr, json ? countWritten : nullptr,
                            nullptr};
    const RecordOutcome outcome = RunRecording({path.constData(), interval, count, trigger}, view);
    if (json) printSummary(args, outcome);
    if (outcome.dropped > 0) {
        char text[STATUS_SIZE];
        WithDroppedCount(text, "Data-Recorder:", outcome.dropped);
        std::fprintf(stderr, "%s\n", text);
    }
    switch (outcome.end) {
        case RecordEnd::Completed:
        case RecordEnd::Stopped:
            return EXIT_OK;
        case RecordEnd::Timeout:
            return Fail(EXIT_LINK, "the sensor did not answer");
        case RecordEnd::FileError:
            break;
    }
    return cannotWrite(args, outcome.cause);
}
