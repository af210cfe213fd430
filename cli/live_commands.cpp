// run and video: measurement records and video profiles on standard output, as text or JSON.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QTime>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/sensorwatch.h"
#include "core/link/status.h"
#include "core/params/transfer.h"
#include "core/system/timing.h"
#include "json_output.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// Longest sleep between two looks at Ctrl-C while waiting for the next record [s].
constexpr double kInterruptPoll = 0.1;

// Waits until `deadline` (a Timer() value) or Ctrl-C.
void waitUntil(double deadline) {
    for (double left = deadline - Timer(); left > 0 && !interrupted; left = deadline - Timer())
        Delay(std::min(left, kInterruptPoll));
}

// One record as the recorder's sample columns, behind a time stamp.
void printRecord(bool json) {
    if (json) {
        PrintJson(MeasurementJson(JsonTimeStamp(), raw));
        return;
    }
    const QByteArray stamp = QTime::currentTime().toString("hh:mm:ss.zzz").toLatin1();
    std::printf("%s\t%d\t%d\t%d\t%u\t%u\t%u\t%u\t%u\n", stamp.constData(), raw.umA, raw.umB,
                raw.umValue, raw.edgeA, raw.edgeB, raw.posA, raw.posB, raw.posCombined);
    std::fflush(stdout);
}

// The two profiles as one object: the x positions and the MASTER and SLAVE values.
void printProfilesJson() {
    QJsonArray x, master, slave;
    for (int i = 0; i < XBAR_COUNT; ++i) {
        x.append(xArray8[i]);
        master.append(adbuf[i]);
        slave.append(adbuf[XBAR_COUNT + i]);
    }
    PrintJson({{"time", JsonTimeStamp()}, {"x", x}, {"master", master}, {"slave", slave}});
}

}  // namespace

int CmdRun(const QCommandLineParser &args) {
    const bool counted = args.isSet("count");
    const unsigned count = args.value("count").toUInt();
    const double interval = args.value("interval").toDouble();
    const bool json = args.isSet("json");
    // The tolerance of each JSON record is the sensor's own: its thresholds come from there.
    if (json && !ReadEvaluationSettings())
        return Fail(EXIT_LINK, "cannot read the parameter sets and the calibration headers");
    // Ctrl-C ends the loop after the current record, like the program's STOP.
    std::signal(SIGINT, onInterrupt);
    // A failed exchange is tried again; the run ends only when the sensor is lost.
    SensorWatch watch;
    double next = Timer();
    for (unsigned n = 0; (!counted || n < count) && !interrupted;) {
        waitUntil(next);
        if (interrupted) break;
        next = Timer() + interval;
        const int taken = WatchedExchange(watch, GetRAW);
        if (taken == -1) {
            ShowStatus(ST_PA);
            return Fail(EXIT_LINK, "no correct measurement record");
        }
        if (taken == 0) continue;
        printRecord(json);
        ++n;
    }
    return EXIT_OK;
}

int CmdVideo(const QCommandLineParser &args) {
    if (const int status = ReadHardwareRecord(); status != EXIT_OK) return status;
    if (GetDATA(0) != 1) {
        ShowStatus(ST_PA);
        return Fail(EXIT_LINK, "no correct video reply");
    }
    if (args.isSet("json")) {
        printProfilesJson();
        return EXIT_OK;
    }
    for (int i = 0; i < XBAR_COUNT; ++i)
        std::printf("%g\t%u\t%u\n", xArray8[i], adbuf[i], adbuf[XBAR_COUNT + i]);
    return EXIT_OK;
}
