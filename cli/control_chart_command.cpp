// plot --chart imr|xbar-r: a column of a recording as a control chart pair (values with centre
// line, control limits and the tolerance limits, rule breaks in red; the moving ranges or
// ranges below on the same axis; the figures in a box), drawn by the plot module.
#include <QCommandLineParser>

#include "capability_study.h"
#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "recording.h"

int CmdControlChart(const QCommandLineParser &args) {
    int status = EXIT_OK;
    const auto draw =
        reinterpret_cast<DrawControlChartFn>(PlotModuleEntry(kDrawControlChartSymbol, status));
    if (!draw) return status;
    if ((status = CheckOutputFile(args, "out")) != EXIT_OK) return status;
    RecReader reader;
    RecFileHeader header;
    if ((status = OpenRecording(args, reader, header)) != EXIT_OK) return status;
    ColumnStudy study;
    if ((status = SpecLimitsOf(args, header, study.limits)) != EXIT_OK) return status;
    const int width = args.isSet("width") ? args.value("width").toInt() : 800;
    const int height = args.isSet("height") ? args.value("height").toInt() : 600;
    if ((status = StudyColumn(args, reader, width, study)) != EXIT_OK) return status;
    if (!study.capability.chart.known())
        return Fail(EXIT_DATA, QString("no control chart of %1: %2")
                                   .arg(RecordingPath(args), study.capability.chart.missing));
    if (!draw(study.chart, width, height, args.value("out")))
        return Fail(EXIT_CANT_CREATE, "cannot write " + args.value("out"));
    return EXIT_OK;
}
