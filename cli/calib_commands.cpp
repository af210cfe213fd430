// calib-write and linearize: the calibration pop-up's WRITE and linearisation switch.
#include <QFile>
#include <QString>
#include <cstdio>
#include <utility>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/calib/identifypair.h"
#include "core/link/identity.h"
#include "core/state/flags.h"
#include "core/system/signals.h"

namespace {

// 1 MASTER, 2 SLAVE, 0 neither.
int sensorOf(const QCommandLineParser &args) {
    const QString side = args.value("sensor").toLower();
    return side == "master" ? 1 : side == "slave" ? 2 : 0;
}

uint16_t *tableOf(int sensor) {
    return sensor == 1 ? linArrayA : linArrayB;
}

// Loads --file for the sensor as the pop-up's LOAD FILE... does: its table, and its header
// fields over the sensor's own header; EXIT_OK, or the failure naming the file's line at fault.
int readFile(const QCommandLineParser &args, int sensor) {
    const QByteArray path = QFile::encodeName(args.value("file"));
    if (LoadCalibrationFile(path.constData(), sensor) == 1) return EXIT_OK;
    return Fail(
        EXIT_NO_INPUT,
        QString("%1 is no valid calibration file: %2").arg(args.value("file"), CalibFileProblem()));
}

// A signal during the table write: said once, the write goes on to its end.
void finishTableFirst() {
    static bool told = false;
    if (!std::exchange(told, true))
        std::fputs(
            "k-tav-cli: writing the calibration table: it is finished first, then the "
            "tool ends\n",
            stderr);
}

// The exit status of a table write.
int tableStatus(int result) {
    switch (result) {
        case TABLE_VERIFIED:
            return EXIT_OK;
        case TABLE_UNVERIFIED:
            return Fail(EXIT_UNVERIFIED, "the linearisation table was written, but not verified");
        case TABLE_DIFFERS:
            return Fail(EXIT_TABLE_DIFFERS, "the linearisation table reads back different");
        default:
            return Fail(EXIT_LINK, "the linearisation table was not written completely");
    }
}

}  // namespace

int CheckCalibWrite(const QCommandLineParser &args) {
    return readFile(args, sensorOf(args));
}

int CmdCalibWrite(const QCommandLineParser &args) {
    const int sensor = sensorOf(args);
    if (IdentifyPair(nullptr).verdict != Identified::Accepted)
        return Fail(EXIT_LINK, "identification failed; nothing written");
    // Loaded again now that the sensor's own header is known.
    if (const int status = readFile(args, sensor); status != EXIT_OK) return status;
    if (args.isSet("header") && WriteCalibHeader(sensor, calibToWrite[sensor - 1]) != 1)
        return Fail(EXIT_LINK, "the calibration header was not written");
    if (!args.isSet("table")) return EXIT_OK;
    // A table cut off half way would leave the sensor measuring wrong: Ctrl-C and SIGTERM wait
    // for its end, as the program's close does.
    OnTerminationSignal(finishTableFirst);
    return tableStatus(WriteCalibTable(sensor, tableOf(sensor), nullptr));
}

int CmdLinearize(const QCommandLineParser &args) {
    const QString mode = args.positionalArguments().value(1).toLower();
    const uint16_t code = mode == "master" ? 1 : mode == "slave" ? 2 : 0;
    return SwitchLinearisation(code) == 1 ? EXIT_OK
                                          : Fail(EXIT_LINK, "the linearisation was not switched");
}
