// get and send: the three parameter sets between the sensor pair and a parameter file, through
// the program's own transfer and file code.
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "core/link/status.h"
#include "core/params/paramblock.h"
#include "core/params/paramfile.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "json_output.h"

namespace {

QByteArray pathOf(const QString &path) {
    return QFile::encodeName(path);
}

// Writes `para` as a parameter file to standard output, by way of a temporary file.
int writeToStandardOutput() {
    QTemporaryDir dir;
    const QString path = dir.filePath("K-TAV-PARA.ini");
    QFile file(path);
    if (!dir.isValid() || WriteParaToIniFile(para, pathOf(path).constData()) < 0 ||
        !file.open(QIODevice::ReadOnly))
        return Fail(EXIT_CANT_CREATE, "cannot write a temporary parameter file");
    const QByteArray text = file.readAll();
    std::fwrite(text.constData(), 1, text.size(), stdout);
    return EXIT_OK;
}

}  // namespace

int CheckGetOutput(const QCommandLineParser &args) {
    const QString out = args.value("out");
    if (args.isSet("out") && !args.isSet("force") && QFileInfo::exists(out))
        return Fail(EXIT_CANT_CREATE, QString("%1 exists already; --force overwrites it").arg(out));
    return EXIT_OK;
}

int CmdGet(const QCommandLineParser &args) {
    if (const int status = ReadHardwareRecord(); status != EXIT_OK) return status;
    if (!GetAllSets(TargetOf(args)))
        return Fail(EXIT_LINK, "cannot read the parameter sets; no file written");
    const bool json = args.isSet("json");
    if (!args.isSet("out") && !json) return writeToStandardOutput();
    if (const QString out = args.value("out");
        args.isSet("out") && WriteParaToIniFile(para, pathOf(out).constData()) < 0)
        return Fail(EXIT_CANT_CREATE, QString("cannot write the parameter file %1").arg(out));
    if (json) PrintJson(ParaBlockJson(para));
    return EXIT_OK;
}

int CheckSendInput(const QCommandLineParser &args) {
    const QString in = args.value("in");
    // A FIFO or a device would hold the tool at reading, or never end.
    if (QFileInfo::exists(in) && !QFileInfo(in).isFile())
        return Fail(EXIT_NO_INPUT, QString("%1 is not a file; nothing sent").arg(in));
    IniOwner ini = NewIniOwner();
    if (!ini || Ini_ReadFromFile(ini.get(), pathOf(in).constData()) < 0)
        return Fail(EXIT_NO_INPUT, QString("cannot read the parameter file %1").arg(in));
    ParaBlock probe{};
    if (GetIniParaTags(ini.get(), probe) == 0)
        return Fail(EXIT_DATA, QString("%1 holds no parameter of the sections PARA0, PARA1, PARA2; "
                                       "nothing sent")
                                   .arg(in));
    return EXIT_OK;
}

int CmdSend(const QCommandLineParser &args) {
    const int target = TargetOf(args);
    const QString in = args.value("in");
    if (const int status = ReadHardwareRecord(); status != EXIT_OK) return status;
    // The sensor's own sets first: the file does not store every field.
    if (!GetAllSets(target)) return Fail(EXIT_LINK, "cannot read the parameter sets; nothing sent");
    if (ReadParaFromIniFile(para, pathOf(in).constData()) < 0)
        return Fail(EXIT_NO_INPUT,
                    QString("cannot read the parameter file %1; nothing sent").arg(in));
    SetStatus("Parameter read from file!");
    ShowStatus(ST_PA);
    // The program's GET from the file: range check of the block, as the panels would show it.
    for (uint16_t set = 0; set < PARA_PAGES; ++set) PushGET(DATFILE, set);
    return SendParaSets(static_cast<uint16_t>(target), SEND_PAUSE) == 1
               ? EXIT_OK
               : Fail(EXIT_LINK, "not every parameter set was accepted");
}
