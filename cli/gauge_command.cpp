// gauge-study: a type-1 gauge study of a reference part, held still under the live pair (RUN
// records at --interval) or taken from a recording (--from): the figures, the verdict, what was
// measured; as text or JSON, with --chart a picture and with --pdf a one-page report.
#include <QCommandLineParser>
#include <QDateTime>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <string>

#include "capability_study.h"
#include "cliargs.h"
#include "commands.h"
#include "connection.h"
#include "console.h"
#include "core/calib/identifypair.h"
#include "core/link/calibheader.h"
#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/stats/gauge.h"
#include "core/system/timing.h"
#include "json_output.h"
#include "plot_chart.h"
#include "recording.h"

namespace {

constexpr unsigned kDefaultCount = 50;
constexpr double kDefaultResolutionMm = 0.001;  // the step of the values: whole micrometres

// A column of the record and of the recording.
struct Column {
    const char *name;
    int32_t RawRecord::*live;
    int32_t RecSample::*recorded;
};
constexpr Column kColumns[] = {{"VAL", &RawRecord::umValue, &RecSample::val},
                               {"MA", &RawRecord::umA, &RecSample::ma},
                               {"SL", &RawRecord::umB, &RecSample::sl}};

const Column &columnOf(const QCommandLineParser &args) {
    for (const Column &c : kColumns)
        if (args.value("column").compare(c.name, Qt::CaseInsensitive) == 0) return c;
    return kColumns[0];
}

using Lines = std::vector<std::pair<std::string, std::string>>;

std::string trimmed(const char *text) {
    return QString::fromLatin1(text).trimmed().toStdString();
}

std::string headerText(const CalibHeader &h) {
    return "type " + std::to_string(h.typeCode) + ", offset " + std::to_string(h.offset) +
           " um, range " + std::to_string(h.range) + " um, virtual offset " +
           std::to_string(h.virtOffset) + " um";
}

// The values of the recording --from, and what it says of the pair.
int fromRecording(const QCommandLineParser &args, const Column &column, std::vector<double> &values,
                  Lines &lines) {
    RecReader reader;
    RecFileHeader h;
    if (const int status = OpenRecording(args, reader, h); status != EXIT_OK) return status;
    const int status = ForEachSample(
        args, reader, [&](const RecSample &s) { values.push_back(s.*column.recorded); });
    lines = {{"File", RecordingPath(args).toStdString()},
             {"Recorded", h.date + " " + h.time},
             {"Calibration", "MASTER offset " + std::to_string(h.offsetMaster) + " um, range " +
                                 std::to_string(h.rangeMaster) + " um; SLAVE offset " +
                                 std::to_string(h.offsetSlave) + " um, range " +
                                 std::to_string(h.rangeSlave) + " um"}};
    return status;
}

// --count RUN records of the pair, one every --interval seconds, after its identification.
int fromPair(const QCommandLineParser &args, const Column &column, std::vector<double> &values,
             Lines &lines) {
    QString problem;
    if (const int status = OpenConnection(args, problem); status != EXIT_OK)
        return Fail(status, problem);
    const Identification id = IdentifyPair(nullptr);
    if (id.verdict != Identified::Accepted) {
        CloseConnection();
        return Fail(id.refusal ? EXIT_INCOMPATIBLE : EXIT_LINK, "the pair was not identified");
    }
    lines = {
        {"Pair",
         "serial number " + std::to_string(hwinfo.serialno) + ", " + trimmed(szFirmwareVersion)},
        {"Models", trimmed(szHwLine[1]) + ", " + trimmed(szHwLine[2])},
        {"MASTER header", headerText(calib[0])},
        {"SLAVE header", headerText(calib[1])},
        {"Started", QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toStdString()}};
    const unsigned count = args.isSet("count") ? args.value("count").toUInt() : kDefaultCount;
    const double interval = args.value("interval").toDouble();
    double next = Timer();
    for (unsigned n = 0; n < count; ++n) {
        for (double left = next - Timer(); left > 0; left = next - Timer()) Delay(left);
        next = Timer() + interval;
        if (GetRAW() != 1) {
            ShowStatus(ST_PA);
            CloseConnection();
            return Fail(EXIT_LINK, "no correct measurement record");
        }
        values.push_back(raw.*column.live);
    }
    CloseConnection();
    return EXIT_OK;
}

std::string mm(double um, int decimals = 4) {
    return Millimetres(Figure::of(um), decimals);
}

std::vector<FigureRow> rows(const GaugeStudy &g) {
    char re[32] = "-";
    if (g.resolutionPercent.known())
        std::snprintf(re, sizeof re, "%.1f %%", g.resolutionPercent.value);
    const auto why = [](const Figure &f, const char *from) { return f.known() ? from : f.missing; };
    return {
        {"Count", std::to_string(g.values.count), ""},
        {"Mean [mm]", g.values.count ? mm(g.values.mean) : "-", ""},
        {"Bias [mm]", g.values.count ? mm(g.bias) : "-", "mean - reference"},
        {"Repeatability s [mm]", Millimetres(g.repeatability),
         why(g.repeatability, "sample standard deviation (n-1)")},
        {"Cg", Index(g.cg), why(g.cg, "0.2 T / (6 s)")},
        {"Cgk", Index(g.cgk), why(g.cgk, "(0.1 T - |bias|) / (3 s)")},
        {"%RE", re, why(g.resolutionPercent, "resolution / T, at most 5 %")},
        {"Verdict", g.capable ? "capable" : "not capable",
         g.capable ? "Cg and Cgk at least 1.33" : g.why},
    };
}

QJsonValue number(const Figure &f, double scale = 1.0) {
    return f.known() ? QJsonValue(f.value / scale) : QJsonValue();
}

QJsonObject json(const QCommandLineParser &args, const GaugeStudy &g, const QString &time) {
    QJsonObject object{
        {"time", time},
        {"column", columnOf(args).name},
        {"referenceMm", g.reference / kUmPerMm},
        {"toleranceMm", g.tolerance / kUmPerMm},
        {"resolutionMm", g.resolution / kUmPerMm},
        {"count", qint64(g.values.count)},
        {"meanMm", g.values.mean / kUmPerMm},
        {"biasMm", g.bias / kUmPerMm},
        {"repeatabilityMm", number(g.repeatability, kUmPerMm)},
        {"cg", number(g.cg)},
        {"cgk", number(g.cgk)},
        {"resolutionPercent", number(g.resolutionPercent)},
        {"capable", g.capable},
        {"verdict", g.capable ? "capable" : "not capable"},
        {"why", QString::fromStdString(g.why)},
    };
    if (args.isSet("from"))
        object.insert("file", RecordingPath(args));
    else
        object.insert("identity", IdentityJson(nullptr));
    return object;
}

}  // namespace

int CmdGaugeStudy(const QCommandLineParser &args) {
    int status = EXIT_OK;
    const auto drawChart =
        args.isSet("chart")
            ? reinterpret_cast<DrawGaugeChartFn>(PlotModuleEntry(kDrawGaugeChartSymbol, status))
            : nullptr;
    const auto writeReport =
        args.isSet("pdf") && status == EXIT_OK
            ? reinterpret_cast<WriteReportFn>(PlotModuleEntry(kWriteReportSymbol, status))
            : nullptr;
    if (status != EXIT_OK) return status;
    for (const char *option : {"chart", "pdf"})
        if (args.isSet(option) && (status = CheckOutputFile(args, option)) != EXIT_OK)
            return status;

    const Column &column = columnOf(args);
    std::vector<double> values;  // [um]
    Lines lines;
    status = args.isSet("from") ? fromRecording(args, column, values, lines)
                                : fromPair(args, column, values, lines);
    if (status != EXIT_OK) return status;

    ValueSummary summary;
    for (const double x : values) summary.add(x);
    const double resolution =
        (args.isSet("resolution") ? args.value("resolution").toDouble() : kDefaultResolutionMm);
    const GaugeStudy g =
        GaugeStudyOf(summary, args.value("reference").toDouble() * kUmPerMm,
                     args.value("tolerance").toDouble() * kUmPerMm, resolution * kUmPerMm);
    const QString time = JsonTimeStamp();
    lines.insert(lines.begin(),
                 {"Characteristic", std::string(column.name) + ", reference " + mm(g.reference, 3) +
                                        " mm, tolerance " + mm(g.tolerance, 3) +
                                        " mm, resolution " + mm(g.resolution, 4) + " mm"});
    lines.push_back({"Program", "k-tav-cli " KTAV_VERSION});
    lines.push_back({"Evaluated", time.toStdString()});
    const std::vector<FigureRow> figures = rows(g);
    if (args.isSet("json")) {
        PrintJson(json(args, g, time));
    } else {
        PrintMeasured(lines);
        PrintFigureRows(figures);
    }
    GaugeChart chart{{}, g.reference / kUmPerMm, g.tolerance / kUmPerMm};
    for (const double x : values) chart.values.push_back(x / kUmPerMm);
    if (drawChart && !drawChart(chart, 800, 400, args.value("chart")))
        return Fail(EXIT_CANT_CREATE, "cannot write " + args.value("chart"));
    const Report report{"Type-1 gauge study of " + std::string(column.name), lines, figures,
                        nullptr, &chart};
    if (writeReport && !writeReport(report, args.value("pdf")))
        return Fail(EXIT_CANT_CREATE, "cannot write " + args.value("pdf"));
    return EXIT_OK;
}
