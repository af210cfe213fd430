// record: the recorder file from the command line, through the program's recording loop; with
// --json each sample and how the recording ended on standard output.
#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <cstdio>

#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/link/calibheader.h"
#include "core/link/commands.h"
#include "core/link/sensorwatch.h"
#include "core/link/xflash.h"
#include "core/measure/recfile.h"
#include "core/measure/recorder.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/system/signals.h"
#include "core/system/timing.h"
#include "json_output.h"

namespace {

constexpr const char *kNoSettings = "cannot read the parameter sets and the calibration headers";

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

// Opens the transport and identifies the pair (at the start also reading what the file's header
// needs) until it answers: first at once, then after 1 s and at doubling waits of at most 30 s,
// each failure said on standard error. True when the pair answers; false when a signal ended the
// wait or `status` ends the recording (`problem` then says why).
bool awaitPair(const QCommandLineParser &args, bool atStart, int &status, QString &problem) {
    RetryWaits waits;
    for (double wait = 0.0;;) {
        waitOrInterrupt(wait);
        if (interrupted) return false;
        status = ReopenAndIdentify(args, problem);
        if (status == EXIT_OK && atStart && !ReadEvaluationSettings()) {
            status = EXIT_LINK;
            problem = kNoSettings;
        }
        if (status == EXIT_OK) {
            std::fprintf(stderr, "pair identified; recording %s\n", atStart ? "starts" : "goes on");
            return true;
        }
        if (status != EXIT_LINK) return false;
        if (atStart && wait == 0.0) std::fprintf(stderr, "waiting for the sensor pair\n");
        wait = waits.next();
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
void printSummary(const QCommandLineParser &args, const RecordOutcome &outcome, unsigned written) {
    QJsonObject summary{{"end", endName(outcome.end)},
                        {"file", args.value("out")},
                        {"samples", qint64(written)},
                        {"dropped", qint64(outcome.dropped)}};
    if (outcome.cause[0] != '\0') summary.insert("cause", QString::fromLocal8Bit(outcome.cause));
    PrintJson(summary);
}

int cannotWrite(const QCommandLineParser &args, const char *cause) {
    return Fail(EXIT_CANT_CREATE, QString("cannot write %1: %2").arg(args.value("out"), cause));
}

// Opens the transport and reads what the file's header needs; with --reconnect the pair is
// waited for until it answers. EXIT_OK; else the status that ends the command, its problem
// shown (a signal while waiting ends it with EXIT_OK and nothing recorded).
int openPair(const QCommandLineParser &args) {
    QString problem;
    int status = EXIT_OK;
    if (args.isSet("reconnect")) {
        if (awaitPair(args, true, status, problem)) return EXIT_OK;
        if (!interrupted) return Fail(status, problem);
        std::fprintf(stderr, "stopped before the pair answered; nothing recorded\n");
        return EXIT_OK;
    }
    if (status = OpenConnection(args, problem); status != EXIT_OK) return Fail(status, problem);
    if (!ReadEvaluationSettings()) return Fail(EXIT_LINK, kNoSettings);
    return EXIT_OK;
}

// The recording `asked` into its created file through the program's loop. With --reconnect a
// lost sensor only pauses it: once the pair answers again, the loop goes on appending to the same
// file for the samples still to take. The gap shows in the time stamps alone.
int recordInto(const QCommandLineParser &args, Recording asked) {
    const bool json = args.isSet("json");
    const RecorderView view{nullptr, json ? printSample : nullptr, countWritten, nullptr};
    const unsigned count = asked.samples;
    unsigned written = 0;
    RecordOutcome outcome;
    for (;;) {
        asked.samples = count - written;
        outcome = RunRecording(asked, view);
        written += samplesWritten;
        if (!args.isSet("reconnect") || outcome.end != RecordEnd::Timeout || interrupted) break;
        int status = EXIT_OK;
        QString problem;
        std::fprintf(stderr, "sensor lost: %s; trying again\n", outcome.cause);
        if (!awaitPair(args, false, status, problem)) {
            if (!interrupted) return Fail(status, problem);
            outcome.end = RecordEnd::Stopped;
            break;
        }
    }
    if (json) printSummary(args, outcome, written);
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

}  // namespace

bool ReadEvaluationSettings() {
    // Each read is tried once more at once: a damaged reply is no lost sensor.
    const auto twice = [](auto read) { return read() || read(); };
    for (int sensor : {1, 2})
        if (!twice([sensor] {
                return ReadCalibDataFromXF(&calib[sensor - 1], sensor, sizeof(CalibHeader)) == 1;
            }))
            return false;
    return twice([] { return GetAllSets(RAM); });
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
    // A failed exchange follows the unattended loops' rule: retried, and lost after three.
    const Recording asked{path.constData(), args.value("interval").toDouble(),
                          args.isSet("count") ? args.value("count").toUInt() : REC_MAX_SAMPLES,
                          trigger, true};
    // Ctrl-C ends the recording in order, and a wait for the pair at the start as well.
    OnTerminationSignal(onInterrupt);
    int status = openPair(args);
    if (status == EXIT_OK && !interrupted) {
        const RecHeader header = trigger ? CurrentRecHeader(0.0, REC_MAX_SAMPLES, false)
                                         : CurrentRecHeader(asked.increment, asked.samples, true);
        // Created only now, in one step with the check that it does not exist: another
        // recording may have taken the name since the check before connecting.
        status = CreateRecFile(asked.path, header) == 1 ? recordInto(args, asked)
                                                        : cannotWrite(args, RecFileError());
    }
    CloseConnection();
    return status;
}
