// plot: a recording as a PNG picture. The samples are gathered in one pass into at most one bin
// per pixel column (first, last, lowest and highest value of each trace), so a recording of any
// length is drawn in bounded memory and time. The picture is drawn by the plot module, loaded
// only for this command.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "plot_chart.h"
#include "recording.h"
#include "tool_module.h"

namespace {

// The plot module, loaded by MakePlotApplication; never unloaded, since the application object
// it made lives until the tool ends.
QLibrary plotModule;

}  // namespace

int CheckOutputFile(const QCommandLineParser &args, const char *option) {
    const QString name = args.value(option);
    const QFileInfo out(name), in(RecordingPath(args));
    if (!out.exists()) return EXIT_OK;
    if (in.exists() && out.canonicalFilePath() == in.canonicalFilePath())
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 is the recording; it is not overwritten").arg(name));
    if (!args.isSet("force"))
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 exists already; --force overwrites it").arg(name));
    return EXIT_OK;
}

QFunctionPointer PlotModuleEntry(const char *symbol, int &status) {
    const QFunctionPointer entry = plotModule.resolve(symbol);
    status = entry ? EXIT_OK
                   : Fail(EXIT_UNAVAILABLE,
                          "the plot module cannot be loaded: " + plotModule.errorString());
    return entry;
}

int CmdPlot(const QCommandLineParser &args) {
    if (args.isSet("chart")) return CmdControlChart(args);
    int status = EXIT_OK;
    const auto draw = reinterpret_cast<DrawPlotFn>(PlotModuleEntry(kDrawPlotSymbol, status));
    if (!draw) return status;
    if (const int status = CheckOutputFile(args, "out"); status != EXIT_OK) return status;
    RecReader reader;
    RecFileHeader header;
    if (const int status = OpenRecording(args, reader, header); status != EXIT_OK) return status;
    Tolerances tol;
    if (const int status = TolerancesOf(args, header, tol); status != EXIT_OK) return status;
    const int width = args.isSet("width") ? args.value("width").toInt() : 800;
    const int height = args.isSet("height") ? args.value("height").toInt() : 500;

    Bins bins;
    bins.bins.resize(static_cast<size_t>(width));
    const auto bin = [&bins](double t, const RecSample &s) { bins.add(t, s); };
    SecondSpreader spreader(header.increment);
    if (const int status =
            ForEachSample(args, reader, [&](const RecSample &s) { spreader.add(s, bin); });
        status != EXIT_OK)
        return status;
    spreader.finish(bin);

    Marks marks;
    marks.spreadSeconds = spreader.spread();
    if (tol.setpoint) marks.setpoint = *tol.setpoint / kUmPerMm;
    if (tol.upper || tol.lower)
        marks.band = std::pair((*tol.setpoint - tol.lower.value_or(0)) / kUmPerMm,
                               (*tol.setpoint + tol.upper.value_or(0)) / kUmPerMm);
    if (const std::string pair = SidecarPair(args); !pair.empty())
        marks.notes = {pair, CalibrationOf(args, header)};
    const QString out = args.value("out");
    if (!draw(bins, marks, width, height, out))
        return Fail(EXIT_CANT_CREATE, "cannot write " + out);
    return EXIT_OK;
}

std::unique_ptr<QCoreApplication> MakePlotApplication(int &argc, char **argv) {
    LocateToolModule(plotModule, kPlotModuleFile);
    const auto make =
        reinterpret_cast<MakePlotApplicationFn>(plotModule.resolve(kMakePlotApplicationSymbol));
    if (!make) return std::make_unique<QCoreApplication>(argc, argv);
    return std::unique_ptr<QCoreApplication>(make(argc, argv));
}
