// capability FILE: the capability figures of one column of a recording, which sigma each uses,
// the control limits of its chart and the points that break the rules; as text, as JSON, and
// with --pdf as a one-page report.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>

#include "capability_study.h"
#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "json_output.h"
#include "plot_chart.h"
#include "recording.h"

namespace {

// Bins of the report's chart: about one per point of its width.
constexpr int kReportBins = 600;

std::string limitsText(const SpecLimits &l) {
    if (!l.lower && !l.upper) return "none";
    std::string text;
    if (l.lower) text += "lower " + Millimetres(Figure::of(*l.lower), 3) + " mm";
    if (l.upper)
        text += std::string(text.empty() ? "" : ", ") + "upper " +
                Millimetres(Figure::of(*l.upper), 3) + " mm";
    return text;
}

std::string chartText(const ColumnStudy &s) {
    const Capability &c = s.capability;
    if (!c.chart.known()) return std::string("none: ") + c.chart.missing;
    const ChartLimits &l = c.limits;
    const auto mm = [](double um) { return Millimetres(Figure::of(um)); };
    const bool single = c.subgroup <= 1;
    return std::string(single ? "I" : "X-bar") + " centre " + mm(l.centre) + ", UCL " +
           mm(l.upper) + ", LCL " + mm(l.lower) + "; " + (single ? "MR" : "R") + " centre " +
           mm(l.rangeCentre) + ", UCL " + mm(l.rangeUpper) + ", LCL " + mm(l.rangeLower) + " mm";
}

// The pair the recording's sidecar names.
std::string pairText(const QCommandLineParser &args) {
    const std::string pair = SidecarPair(args);
    return pair.empty() ? "- (no sidecar)" : pair;
}

// What the report and the text say was measured.
std::vector<std::pair<std::string, std::string>> measured(const QCommandLineParser &args,
                                                          const RecFileHeader &h,
                                                          const ColumnStudy &s) {
    const Capability &c = s.capability;
    const std::string chart =
        c.subgroup > 1 ? "subgroups of " + std::to_string(c.subgroup) + " (X-bar-R chart)"
                       : "single values (I-MR chart)";
    return {
        {"File", RecordingPath(args).toStdString()},
        {"Recorded", h.date + " " + h.time},
        {"Pair", pairText(args)},
        {"Calibration", CalibrationOf(args, h)},
        {"Column", s.column.toStdString() + ", " + chart},
        {"Limits", limitsText(s.limits)},
        {"Control limits", chartText(s)},
        {"Program", "k-tav-cli " KTAV_VERSION},
        {"Evaluated", QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toStdString()},
    };
}

QJsonValue number(const Figure &f, double scale = 1.0) {
    return f.known() ? QJsonValue(f.value / scale) : QJsonValue();
}

QJsonObject json(const QCommandLineParser &args, const ColumnStudy &s) {
    const Capability &c = s.capability;
    QJsonObject reasons;
    const std::pair<const char *, Figure> figures[] = {{"sigmaOverallMm", c.sigmaOverall},
                                                       {"sigmaWithinMm", c.sigmaWithin},
                                                       {"cp", c.cp},
                                                       {"cpk", c.cpk},
                                                       {"pp", c.pp},
                                                       {"ppk", c.ppk},
                                                       {"chart", c.chart}};
    for (const auto &[name, f] : figures)
        if (!f.known()) reasons.insert(name, f.missing);
    QJsonObject object{
        {"file", RecordingPath(args)},
        {"column", s.column},
        {"subgroup", c.subgroup},
        {"count", qint64(c.overall.count)},
        {"meanMm", c.overall.count ? QJsonValue(c.overall.mean / kUmPerMm) : QJsonValue()},
        {"minMm", c.overall.count ? QJsonValue(c.overall.min / kUmPerMm) : QJsonValue()},
        {"maxMm", c.overall.count ? QJsonValue(c.overall.max / kUmPerMm) : QJsonValue()},
        {"sigmaOverallMm", number(c.sigmaOverall, kUmPerMm)},
        {"sigmaWithinMm", number(c.sigmaWithin, kUmPerMm)},
        {"sigmaWithinFrom", c.subgroup > 1 ? "R-bar/d2" : "MR-bar/1.128"},
        {"d2", c.d2},
        {"cp", number(c.cp)},
        {"cpk", number(c.cpk)},
        {"pp", number(c.pp)},
        {"ppk", number(c.ppk)},
        {"leftOut", c.leftOut},
        {"lowerMm", s.limits.lower ? QJsonValue(*s.limits.lower / kUmPerMm) : QJsonValue()},
        {"upperMm", s.limits.upper ? QJsonValue(*s.limits.upper / kUmPerMm) : QJsonValue()},
    };
    if (c.chart.known()) {
        const ChartLimits &l = c.limits;
        object.insert("controlLimitsMm", QJsonObject{{"centre", l.centre / kUmPerMm},
                                                     {"upper", l.upper / kUmPerMm},
                                                     {"lower", l.lower / kUmPerMm},
                                                     {"rangeCentre", l.rangeCentre / kUmPerMm},
                                                     {"rangeUpper", l.rangeUpper / kUmPerMm},
                                                     {"rangeLower", l.rangeLower / kUmPerMm}});
        QJsonObject rules;
        const char *names[] = {"beyond", "run", "trend", "rangeBeyond"};
        for (int i = 0; i < kRuleCount; ++i) {
            QJsonArray first;
            for (const uint64_t n : s.breaks.first[i]) first.append(qint64(n));
            rules.insert(names[i],
                         QJsonObject{{"count", qint64(s.breaks.count[i])}, {"first", first}});
        }
        object.insert("rules", rules);
    }
    object.insert("reasons", reasons);
    return object;
}

}  // namespace

int CmdCapability(const QCommandLineParser &args) {
    int status = EXIT_OK;
    const bool pdf = args.isSet("pdf");
    const auto write =
        pdf ? reinterpret_cast<WriteReportFn>(PlotModuleEntry(kWriteReportSymbol, status))
            : nullptr;
    if (status != EXIT_OK) return status;
    if (pdf && (status = CheckOutputFile(args, "pdf")) != EXIT_OK) return status;
    RecReader reader;
    RecFileHeader h;
    if ((status = OpenRecording(args, reader, h)) != EXIT_OK) return status;
    ColumnStudy study;
    if ((status = SpecLimitsOf(args, h, study.limits)) != EXIT_OK) return status;
    if ((status = StudyColumn(args, reader, pdf ? kReportBins : 0, study)) != EXIT_OK)
        return status;

    const auto lines = measured(args, h, study);
    if (args.isSet("json")) {
        PrintJson(json(args, study));
    } else {
        PrintMeasured(lines);
        PrintFigureRows(CapabilityRows(study));
        std::printf("\n");
        PrintFigureRows(RuleRows(study));
    }
    if (!pdf) return EXIT_OK;
    Report report{"Process capability of " + study.column.toStdString(), lines,
                  CapabilityRows(study), study.capability.chart.known() ? &study.chart : nullptr};
    for (const FigureRow &row : RuleRows(study)) report.figures.push_back(row);
    if (!write(report, args.value("pdf")))
        return Fail(EXIT_CANT_CREATE, "cannot write " + args.value("pdf"));
    return EXIT_OK;
}
