// stats: the figures of a recording per column MA, SL and VAL.
#include <QCommandLineParser>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "recording.h"

namespace {

constexpr double kUmPerMm = 1000.0;

struct ColumnStats {
    size_t count = 0;
    double min = 0, max = 0, mean = 0, sigma = 0;  // [µm]; sigma of the sample (n - 1)
    double outside = 0;                            // share beyond the tolerances [%]
};

ColumnStats statsOf(const std::vector<double> &v, double setpoint, const Tolerances &tol) {
    ColumnStats s;
    s.count = v.size();
    if (v.empty()) return s;
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    s.min = *lo;
    s.max = *hi;
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / v.size();
    double squares = 0;
    for (double x : v) squares += (x - s.mean) * (x - s.mean);
    s.sigma = v.size() > 1 ? std::sqrt(squares / (v.size() - 1)) : 0.0;
    const size_t beyond = std::count_if(v.begin(), v.end(), [&](double x) {
        return (tol.upper && x > setpoint + *tol.upper) || (tol.lower && x < setpoint - *tol.lower);
    });
    s.outside = 100.0 * beyond / v.size();
    return s;
}

std::string mm(double um, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, um / kUmPerMm);
    return text;
}

std::string number(bool known, double value, int decimals) {
    if (!known || !std::isfinite(value)) return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void printColumn(const char *name, const ColumnStats &s, double setpoint, const Tolerances &tol) {
    const bool any = s.count > 0;
    const bool spread = s.count > 1 && s.sigma > 0;
    const double usl = setpoint + tol.upper.value_or(0), lsl = setpoint - tol.lower.value_or(0);
    const bool cp = spread && tol.upper && tol.lower;
    const double cpValue = (usl - lsl) / (6 * s.sigma);
    double cpk = INFINITY;
    if (tol.upper) cpk = std::min(cpk, (usl - s.mean) / (3 * s.sigma));
    if (tol.lower) cpk = std::min(cpk, (s.mean - lsl) / (3 * s.sigma));
    const bool tolerances = tol.upper || tol.lower;
    std::printf("%-4s %7zu %11s %11s %12s %11s %11s %8s %8s\n", name, s.count,
                any ? mm(s.min, 3).c_str() : "-", any ? mm(s.max, 3).c_str() : "-",
                any ? mm(s.mean, 4).c_str() : "-", any ? mm(s.sigma, 4).c_str() : "-",
                number(any && tolerances, s.outside, 2).c_str(), number(cp, cpValue, 3).c_str(),
                number(spread && tolerances, cpk, 3).c_str());
}

}  // namespace

int CmdStats(const QCommandLineParser &args) {
    RecFile file;
    if (const int status = LoadRecording(args, file); status != EXIT_OK) return status;
    const Tolerances tol = TolerancesOf(args);
    const RecFileHeader &h = file.header;
    const std::vector<RecSample> &s = file.samples;

    std::printf("File:        %s\n", qPrintable(args.positionalArguments().value(1)));
    std::printf("Start:       %s %s\n", h.date.c_str(), h.time.c_str());
    std::printf("Mode:        %s\n", h.increment > 0
                                         ? qPrintable(QString("polled every %1 s").arg(h.increment))
                                         : "external trigger");
    std::printf("Set-point:   %s mm", mm(h.setpoint, 3).c_str());
    if (tol.upper) std::printf(", upper tolerance %s mm", mm(*tol.upper, 3).c_str());
    if (tol.lower) std::printf(", lower tolerance %s mm", mm(*tol.lower, 3).c_str());
    std::printf("\n");
    if (s.empty()) {
        std::printf("Samples:     0\n");
    } else {
        const double interval =
            s.size() > 1 ? double(s.back().elapsed - s.front().elapsed) / (s.size() - 1) : 0.0;
        std::printf("Samples:     %zu, first %s, last %s, mean interval %s s\n", s.size(),
                    s.front().time.c_str(), s.back().time.c_str(),
                    number(s.size() > 1, interval, 3).c_str());
    }
    std::printf("\n%-4s %7s %11s %11s %12s %11s %11s %8s %8s\n", "", "count", "min[mm]", "max[mm]",
                "mean[mm]", "std[mm]", "outside[%]", "Cp", "Cpk");
    struct Column {
        const char *name;
        int32_t RecSample::*value;
    };
    for (const Column c : {Column{"MA", &RecSample::ma}, Column{"SL", &RecSample::sl},
                           Column{"VAL", &RecSample::val}}) {
        std::vector<double> values;
        values.reserve(s.size());
        for (const RecSample &sample : s) values.push_back(sample.*c.value);
        printColumn(c.name, statsOf(values, h.setpoint, tol), h.setpoint, tol);
    }
    return EXIT_OK;
}
