#include "capability_study.h"

#include <algorithm>
#include <cstdio>

#include "cliargs.h"
#include "console.h"
#include "plot_chart.h"
#include "recording.h"

namespace {

// The columns a study may take.
struct Column {
    const char *name;
    int32_t RecSample::*value;
};
constexpr Column kColumns[] = {
    {"VAL", &RecSample::val}, {"MA", &RecSample::ma}, {"SL", &RecSample::sl}};

int32_t RecSample::*columnNamed(const QString &name) {
    for (const Column &c : kColumns)
        if (name.compare(c.name, Qt::CaseInsensitive) == 0) return c.value;
    return nullptr;
}

std::string printed(const char *format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string mm(double um, int decimals = 4) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, um / kUmPerMm);
    return text;
}

// The chart's limits and tolerance limits in millimetres, and its box of figures.
void fillChart(ColumnStudy &s) {
    const Capability &c = s.capability;
    const ChartLimits &u = c.limits;
    ControlChart &chart = s.chart;
    chart.subgroup = c.subgroup;
    chart.limits = {u.centre / kUmPerMm,      u.upper / kUmPerMm,      u.lower / kUmPerMm,
                    u.rangeCentre / kUmPerMm, u.rangeUpper / kUmPerMm, u.rangeLower / kUmPerMm};
    if (s.limits.lower) chart.lower = *s.limits.lower / kUmPerMm;
    if (s.limits.upper) chart.upper = *s.limits.upper / kUmPerMm;
    // The box: the mean, both sigmas and the four indices.
    const std::vector<FigureRow> rows = CapabilityRows(s);
    for (size_t i : {1, 4, 5, 6, 7, 8, 9})
        chart.figures.push_back(rows[i].name + " " + rows[i].value);
}

}  // namespace

int SpecLimitsOf(const QCommandLineParser &args, const RecFileHeader &header, SpecLimits &limits) {
    if (args.positionalArguments().value(0) == "plot") {
        Tolerances tol;
        if (const int status = TolerancesOf(args, header, tol); status != EXIT_OK) return status;
        if (tol.upper) limits.upper = *tol.setpoint + *tol.upper;
        if (tol.lower) limits.lower = *tol.setpoint - *tol.lower;
        return EXIT_OK;
    }
    if (args.isSet("lower")) limits.lower = args.value("lower").toDouble() * kUmPerMm;
    if (args.isSet("upper")) limits.upper = args.value("upper").toDouble() * kUmPerMm;
    if (!args.isSet("tol-upper") && !args.isSet("tol-lower")) return EXIT_OK;
    double setpoint = header.setpoint;
    if (args.isSet("setpoint"))
        setpoint = args.value("setpoint").toDouble() * kUmPerMm;
    else if (!HasSetpointMode(header))
        return Fail(EXIT_USAGE,
                    "the recording was not made in set-point mode (its set-point is 0); "
                    "--tol-upper/--tol-lower need --setpoint MM");
    if (args.isSet("tol-upper"))
        limits.upper = setpoint + args.value("tol-upper").toDouble() * kUmPerMm;
    if (args.isSet("tol-lower"))
        limits.lower = setpoint - args.value("tol-lower").toDouble() * kUmPerMm;
    return EXIT_OK;
}

int StudyColumn(const QCommandLineParser &args, RecReader &reader, int bins, ColumnStudy &study) {
    study.column = args.isSet("column") ? args.value("column").toUpper() : "VAL";
    const auto value = columnNamed(study.column);
    // An X-bar-R chart takes subgroups of 5 unless told.
    const int subgroup = args.isSet("subgroup")            ? args.value("subgroup").toInt()
                         : args.value("chart") == "xbar-r" ? 5
                                                           : 1;
    CapabilityRun run(subgroup);
    std::vector<int32_t> kept;  // the column, for the rules once the limits are known
    ChartPoint point;
    const int status = ForEachSample(args, reader, [&](const RecSample &s) {
        run.add(s.*value, point);
        kept.push_back(s.*value);
    });
    if (status != EXIT_OK) return status;
    study.capability = run.result(study.limits);
    study.chart.bins.bins.resize(static_cast<size_t>(bins));
    if (!study.capability.chart.known()) return EXIT_OK;
    ChartPoints points(subgroup);
    RuleCheck check(study.capability.limits);
    for (const int32_t x : kept) {
        if (!points.add(x, point)) continue;
        const unsigned broken = check.add(point);
        if (bins == 0) continue;
        for (double *v : {&point.value, &point.range}) *v /= kUmPerMm;
        study.chart.bins.add(point, broken);
    }
    study.breaks = check.breaks();
    fillChart(study);
    return EXIT_OK;
}

std::string Millimetres(const Figure &um, int decimals) {
    return um.known() ? mm(um.value, decimals) : "-";
}

std::string Index(const Figure &f) {
    return f.known() ? printed("%.3f", f.value) : "-";
}

std::vector<FigureRow> CapabilityRows(const ColumnStudy &study) {
    const Capability &c = study.capability;
    const bool single = c.subgroup <= 1;
    const std::string rangeName = single ? "MR-bar" : "R-bar";
    const auto why = [](const Figure &f, const std::string &from) {
        return f.known() ? from : std::string(f.missing);
    };
    const bool any = c.overall.count > 0;
    std::vector<FigureRow> rows = {
        {"Count", std::to_string(c.overall.count), ""},
        {"Mean [mm]", any ? mm(c.overall.mean) : "-", any ? "" : kFewerThanTwo},
        {"Min [mm]", any ? mm(c.overall.min, 3) : "-", ""},
        {"Max [mm]", any ? mm(c.overall.max, 3) : "-", ""},
        {"Sigma overall [mm]", Millimetres(c.sigmaOverall),
         why(c.sigmaOverall, "sample standard deviation (n-1)")},
        {"Sigma within [mm]", Millimetres(c.sigmaWithin),
         why(c.sigmaWithin, rangeName + " / " + printed("%.3f", c.d2) + " (" + rangeName + " " +
                                mm(c.rangeMean) + " mm of " + std::to_string(c.ranges) +
                                (single ? " moving ranges)" : " subgroups)"))},
        {"Cp", Index(c.cp), why(c.cp, "sigma within")},
        {"Cpk", Index(c.cpk), why(c.cpk, "sigma within")},
        {"Pp", Index(c.pp), why(c.pp, "sigma overall")},
        {"Ppk", Index(c.ppk), why(c.ppk, "sigma overall")},
    };
    if (c.leftOut > 0)
        rows.push_back({"Left out", std::to_string(c.leftOut),
                        "values of an incomplete last subgroup: in the overall figures only"});
    return rows;
}

std::vector<FigureRow> RuleRows(const ColumnStudy &study) {
    const Capability &c = study.capability;
    const std::string point = c.subgroup > 1 ? "subgroup" : "value";
    const std::string range = c.subgroup > 1 ? "range" : "moving range";
    const std::pair<ChartRule, std::string> rules[] = {
        {RULE_BEYOND, "rule 1: " + point + " beyond the control limits"},
        {RULE_RUN, "rule 2: 9 in a row on one side of the centre line"},
        {RULE_TREND, "rule 3: 6 in a row rising or falling"},
        {RULE_RANGE_BEYOND, "rule 1: " + range + " beyond its control limits"},
    };
    std::vector<FigureRow> rows;
    for (const auto &[rule, name] : rules) {
        const int i = RuleIndex(rule);
        std::string at;
        for (const uint64_t n : study.breaks.first[i])
            at += (at.empty() ? "" : " ") + std::to_string(n);
        if (study.breaks.count[i] > study.breaks.first[i].size()) at += " ...";
        rows.push_back(
            {name, c.chart.known() ? std::to_string(study.breaks.count[i]) : "-",
             c.chart.known() ? (at.empty() ? "" : "at " + point + " " + at) : c.chart.missing});
    }
    return rows;
}

void PrintMeasured(const std::vector<std::pair<std::string, std::string>> &lines) {
    for (const auto &[name, text] : lines)
        std::printf("%-15s %s\n", (name + ":").c_str(), text.c_str());
    std::printf("\n");
}

void PrintFigureRows(const std::vector<FigureRow> &rows) {
    size_t width = 0;
    for (const FigureRow &r : rows) width = std::max(width, r.name.size());
    for (const FigureRow &r : rows)
        std::printf("%-*s %10s  %s\n", int(width), r.name.c_str(), r.value.c_str(), r.note.c_str());
}
