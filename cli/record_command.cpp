// record: the recorder file from the command line, through the program's recording loop; with
// --json each sample and how the recording ended on standard output.
#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <cstdio>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "core/link/commands.h"
#include "core/measure/recfile.h"
#include "core/measure/recorder.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/system/signals.h"
#include "core/system/timing.h"
#include "json_output.h"

namespace {

// --reconnect: the first wait before a lost sensor is tried again, and the longest [s].
constexpr double kFirstRetry = 1.0;
constexpr double kLongestRetry = 30.0;

// Set by SIGINT or SIGTERM: the recording ends, also while it waits for a lost sensor.
bool interrupted = false;

// Ctrl-C ends the recording in order, as the recorder's STOP does.
void onInterrupt() {
    stop_flag = STOP_IDLE;
    interrupted = true;
}

// Waits `seconds` or until a signal ends the recording.
void waitOrInterrupt(double seconds) {
    const double deadline = Timer() + seconds;
    for (double left = seconds; left > 0 && !interrupted; left = deadline - Timer())
        WaitForSystemEvents(left);
}

// Identifies the pair again, first at once (a single lost reply is no lost sensor), then after
// 1 s and at doubling waits of at most 30 s, each failure said on standard error. True when the
// pair answers; false when a signal ended the wait or `status` ends the recording (`problem`
// then says why).
bool reconnectSensor(const QCommandLineParser &args, const char *cause, int &status,
                     QString &problem) {
    std::fprintf(stderr, "sensor lost: %s; trying again\n", cause);
    double wait = 0.0;
    for (;;) {
        waitOrInterrupt(wait);
        if (interrupted) return false;
        status = ReopenAndIdentify(args, problem);
        if (status == EXIT_OK) {
            std::fprintf(stderr, "pair identified; recording goes on\n");
            return true;
        }
        if (status != EXIT_LINK) return false;
        wait = wait > 0.0 ? std::min(2 * wait, kLongestRetry) : kFirstRetry;
        std::fprintf(stderr, "%s; trying again in %g s\n", problem.toLocal8Bit().constData(), wait);
    }
}

// Each sample as it is taken (--json), numbered as its line in the file; the samples the current
// pass of the recording loop wrote.
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

int cannotWrite(const QCommandLineParser &args, const char *cause) {
    return Fail(EXIT_CANT_CREATE, QString("cannot write %1: %2").arg(args.value("out"), cause));
}

}  // namespace

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
    const RecorderView view{nullptr, json ? printSample : nullptr, countWritten, nullptr};
    // With --reconnect a lost sensor only pauses the recording: once the pair answers again, the
    // loop goes on appending to the same file for the samples still to take. The gap shows in
    // the time stamps alone.
    unsigned written = 0;
    RecordOutcome outcome;
    for (;;) {
        outcome = RunRecording({path.constData(), interval, count - written, trigger}, view);
        written += samplesWritten;
        if (!args.isSet("reconnect") || outcome.end != RecordEnd::Timeout || interrupted) break;
        int status = EXIT_OK;
        QString problem;
        if (!reconnectSensor(args, outcome.cause, status, problem)) {
            if (!interrupted) return Fail(status, problem);
            outcome.end = RecordEnd::Stopped;
            break;
        }
    }
    if (json) PrintJson(RecordingJson(outcome, args.value("out"), written));
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
