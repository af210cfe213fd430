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

// The picture may go to --out: not the recording itself, and an existing file only with
// --force. EXIT_OK or the refusal (shown).
int checkOutput(const QCommandLineParser &args) {
    const QFileInfo out(args.value("out")), in(args.positionalArguments().value(1));
    if (!out.exists()) return EXIT_OK;
    if (out.canonicalFilePath() == in.canonicalFilePath())
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 is the recording; it is not overwritten").arg(args.value("out")));
    if (!args.isSet("force"))
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 exists already; --force overwrites it").arg(args.value("out")));
    return EXIT_OK;
}

}  // namespace

int CmdPlot(const QCommandLineParser &args) {
    const auto draw = reinterpret_cast<DrawPlotFn>(plotModule.resolve(kDrawPlotSymbol));
    if (!draw)
        return Fail(EXIT_UNAVAILABLE,
                    "the plot module cannot be loaded: " + plotModule.errorString());
    if (const int status = checkOutput(args); status != EXIT_OK) return status;
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
