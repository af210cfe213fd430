// calib-write and linearize: the calibration pop-up's WRITE and linearisation switch.
#include <QFile>
#include <QString>

#include "app/identify.h"
#include "calib/calibfile.h"
#include "calib/calibtransfer.h"
#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "link/identify.h"
#include "shared/state.h"

namespace {

// 1 MASTER, 2 SLAVE, 0 neither.
int sensorOf(const QCommandLineParser &args) {
    const QString side = args.value("sensor").toLower();
    return side == "master" ? 1 : side == "slave" ? 2 : 0;
}

uint16_t *tableOf(int sensor) {
    return sensor == 1 ? linArrayA : linArrayB;
}

// Reads --file into the sensor's header and table, as the pop-up's LOAD FILE... does.
bool readFile(const QCommandLineParser &args, int sensor) {
    const QByteArray path = QFile::encodeName(args.value("file"));
    return ReadCalibrationFile(path.constData(), tableOf(sensor), static_cast<int16_t>(sensor)) ==
           1;
}

}  // namespace

int CheckCalibWrite(const QCommandLineParser &args) {
    if (!readFile(args, sensorOf(args)))
        return Fail(EXIT_NO_INPUT,
                    QString("%1 is no valid calibration file").arg(args.value("file")));
    return EXIT_OK;
}

int CmdCalibWrite(const QCommandLineParser &args) {
    const int sensor = sensorOf(args);
    if (InitDataExchange() != 1 || hwok_flag != 1)
        return Fail(EXIT_LINK, "identification failed; nothing written");
    // The identification read the headers from the sensors; the file's take their place.
    if (!readFile(args, sensor))
        return Fail(EXIT_NO_INPUT,
                    QString("%1 is no valid calibration file").arg(args.value("file")));
    if (args.isSet("header") && WriteCalibHeader(sensor) != 1)
        return Fail(EXIT_LINK, "the calibration header was not written");
    if (args.isSet("table") && WriteCalibTable(sensor, tableOf(sensor), nullptr) != 1)
        return Fail(EXIT_LINK, "the linearisation table was not written completely");
    return EXIT_OK;
}

int CmdLinearize(const QCommandLineParser &args) {
    const QString mode = args.positionalArguments().value(1).toLower();
    const uint16_t code = mode == "master" ? 1 : mode == "slave" ? 2 : 0;
    return SwitchLinearisation(code) == 1 ? EXIT_OK
                                          : Fail(EXIT_LINK, "the linearisation was not switched");
}
