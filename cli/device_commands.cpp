// identify, teach, reset, calib-read and line-test: the program's identification and single
// sensor commands, with what they found printed on standard output (as JSON with --json).
#include <QCommandLineParser>
#include <QString>
#include <cstdio>
#include <string_view>

#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/calib/calibfile.h"
#include "core/calib/calibtransfer.h"
#include "core/calib/identifypair.h"
#include "core/link/commands.h"
#include "core/link/frame.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/link/xflash.h"
#include "core/params/paramblock.h"
#include "core/params/teach.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "json_output.h"

namespace {

// Prints a text without the line break the identification appends after a refusal.
void printField(const char *label, std::string_view text) {
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    std::printf("%s:\t%.*s\n", label, int(text.size()), text.data());
}

void printField(const char *label, long value) {
    std::printf("%s:\t%ld\n", label, value);
}

// Both calibration headers as a table: one row per field, a MASTER and a SLAVE column.
void printCalibHeaders(const CalibHeader (&headers)[2]) {
    std::printf("Calibration header\tMASTER\tSLAVE\n");
    const auto row = [](const char *name, long master, long slave) {
        std::printf("%s\t%ld\t%ld\n", name, master, slave);
    };
    const CalibHeader &a = headers[0], &b = headers[1];
    row("Type code", a.typeCode, b.typeCode);
    row("Parameter 1", a.param1, b.param1);
    row("Parameter 2", a.param2, b.param2);
    row("Table length", a.tableLength, b.tableLength);
    for (int i = 0; i < 5; ++i)
        std::printf("Reserved %d\t%d\t%d\n", i + 1, a.reserved[i], b.reserved[i]);
    row("Virtual offset [um]", a.virtOffset, b.virtOffset);
    row("Range [um]", a.range, b.range);
    row("Offset [um]", a.offset, b.offset);
}

void printIdentity() {
    printField("Firmware", szFirmwareVersion);
    printField("Version", szVersion);
    printField("Serial number", hwinfo.serialno);
    printField("Firmware number", hwinfo.fwversion);
    printField("Line type", hwinfo.linetype);
    printField("Subpixels", hwinfo.subpixels);
    printField("Model", szHwLine[1]);
    printField("Model", szHwLine[2]);
    printCalibHeaders(calib);
}

}  // namespace

int CmdIdentify(const QCommandLineParser &args) {
    const Identification result = IdentifyPair(nullptr);
    // What the program's pop-up tells the operator of a refused device or firmware.
    if (result.refusal) PrintNotice("Attention !!!", result.refusal);
    const bool json = args.isSet("json");
    if (result.verdict == Identified::Accepted) {
        if (json)
            PrintJson(IdentityJson(nullptr));
        else
            printIdentity();
        if (IncompleteTables() != 0)
            return Fail(EXIT_INCOMPLETE_TABLE, IncompleteTablesText(IncompleteTables()));
        return EXIT_OK;
    }
    // A device of another series answers, but is refused; so is a firmware number out of range.
    if (const char *refused = RefusalOf(result.verdict)) {
        if (json)
            PrintJson(IdentityJson(refused));
        else
            printField("Firmware", szFirmwareVersion);
        return Fail(EXIT_INCOMPATIBLE, "incompatible device or firmware");
    }
    return Fail(EXIT_LINK, "identification failed: no correct answer from the sensor");
}

int CmdTeach(const QCommandLineParser &) {
    // The teach values before, for the audit log.
    if (!GetAllSets(RAM)) return Fail(EXIT_LINK, "cannot read the parameter sets; no TEACH sent");
    if (PushTEACH() != 0) return Fail(EXIT_LINK, "TEACH failed: no correct answer");
    printField("MASTER Teach-Value [pix]", teach.posA);
    printField("MASTER um-Teach-Value", teach.umA);
    printField("SLAVE Teach-Value [pix]", teach.posB);
    printField("SLAVE um-Teach-Value", teach.umB);
    return EXIT_OK;
}

int CmdReset(const QCommandLineParser &) {
    return PushRESET() == 0 ? EXIT_OK : Fail(EXIT_LINK, "RESET failed: no correct answer");
}

int CmdCalibRead(const QCommandLineParser &args) {
    CalibHeader headers[2] = {};
    for (int sensor : {1, 2}) {
        if (ReadCalibDataFromXF(&headers[sensor - 1], sensor, sizeof(CalibHeader)) != 1)
            return Fail(EXIT_LINK, QString("cannot read the %1 calibration header")
                                       .arg(sensor == 1 ? "MASTER" : "SLAVE"));
    }
    const bool json = args.isSet("json");
    if (!json) printCalibHeaders(headers);
    // The hardware record names the pair and its table layout.
    if (GetHARDWAREInfo() != 1) return Fail(EXIT_LINK, "cannot read the hardware record");
    const int sides = IncompleteCalibTables(headers);
    if (json) PrintJson(CalibHeadersJson(headers[0], headers[1], sides));
    if (sides != 0) return Fail(EXIT_INCOMPLETE_TABLE, IncompleteTablesText(sides));
    return EXIT_OK;
}

int CmdLineTest(const QCommandLineParser &) {
    return CheckComLine() == 1 ? EXIT_OK : Fail(EXIT_LINK, "no answer to the echo request");
}

int ReopenAndIdentify(const QCommandLineParser &args, QString &problem) {
    CloseConnection();
    if (const int status = OpenConnection(args, problem); status != EXIT_OK) return status;
    const Identification result = IdentifyPair(nullptr);
    if (result.refusal) PrintNotice("Attention !!!", result.refusal);
    if (result.verdict == Identified::OtherSeries ||
        result.verdict == Identified::FirmwareOutOfRange) {
        problem = "incompatible device or firmware";
        return EXIT_INCOMPATIBLE;
    }
    if (result.verdict != Identified::Accepted) {
        problem = "identification failed: no correct answer";
        return EXIT_LINK;
    }
    return EXIT_OK;
}

int ReadPairIdentity() {
    if (GetVERSIONInfo() >= 0 && GetHARDWAREInfo() == 1) return EXIT_OK;
    ShowStatus(ST_PA);
    return Fail(EXIT_LINK, "cannot read the firmware text and the hardware record of the pair");
}

int ReadHardwareRecord() {
    if (GetHARDWAREInfo() == 1) return EXIT_OK;
    ShowStatus(ST_PA);
    return Fail(EXIT_LINK, "cannot read the hardware record");
}
