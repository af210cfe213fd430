// stats: the figures of a recording per column MA, SL and VAL, computed in one pass over the file
// so that a recording of any length needs the same little memory.
#include <QCommandLineParser>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "core/stats/capability.h"
#include "recording.h"

namespace {

constexpr double kUmPerMm = 1000.0;
constexpr double kLongInterval = 1.5;  // an interval this many increments long is a gap

// Count, extremes, mean and spread of one column, taken a sample at a time by the core's
// summary, and the samples beyond the tolerances.
struct ColumnStats {
    ValueSummary summary;  // [µm]
    uint64_t outside = 0;

    void add(int32_t value, const Tolerances &tol) {
        summary.add(value);
        if ((tol.upper && value > *tol.setpoint + *tol.upper) ||
            (tol.lower && value < *tol.setpoint - *tol.lower))
            ++outside;
    }
};

// The time stamps: whole seconds, so one second may hold several samples.
struct Intervals {
    uint64_t count = 0;    // samples
    uint64_t atFirst = 0;  // samples stamped with the first stamp
    uint64_t atLast = 0;   // samples stamped with the last stamp
    int64_t last = 0;      // seconds from the first stamp to the last
    int64_t largest = 0;   // the largest step between two stamps [s]
    uint64_t longer = 0;   // steps certainly longer than kLongInterval increments
    std::string first, lastTime;

    void add(const RecSample &s, double increment) {
        const int64_t step = s.elapsed - last;
        if (count > 0) {
            largest = std::max(largest, step);
            // A step of n seconds between whole-second stamps is more than n - 1 seconds.
            if (increment > 0 && double(step - 1) > kLongInterval * increment) ++longer;
        }
        if (count == 0) first = s.time;
        atFirst += s.elapsed == 0;
        atLast = count > 0 && step == 0 ? atLast + 1 : 1;
        ++count;
        last = s.elapsed;
        lastTime = s.time;
    }

    // The mean interval [s]. The whole seconds between the first and the last stamp are taken
    // up by the samples stamped within them, however the samples fall within a second (0.5 s
    // apart, 10 samples stamped from :31 to :35 or from :30 to :35 give 0.5 s either way); where
    // none are stamped within them, the span shares the intervals. NaN within one second.
    double mean() const {
        const uint64_t inside = count - atFirst - atLast;
        if (last >= 2 && atFirst + atLast < count) return double(last - 1) / double(inside);
        return last > 0 ? double(last) / double(count - 1) : NAN;
    }
};

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

// The overall spread gives Pp and Ppk (Cp and Cpk take the spread within subgroups: capability).
void printColumn(const char *name, const ColumnStats &s, const Tolerances &tol) {
    const ValueSummary &v = s.summary;
    const bool any = v.count > 0;
    const Figure sigma = v.sigma();
    SpecLimits limits;
    if (tol.upper) limits.upper = *tol.setpoint + *tol.upper;
    if (tol.lower) limits.lower = *tol.setpoint - *tol.lower;
    Figure pp, ppk;
    CapabilityIndices(sigma, v.mean, limits, pp, ppk);
    const bool tolerances = tol.upper || tol.lower;
    const double outside = any ? 100.0 * double(s.outside) / double(v.count) : 0.0;
    std::printf("%-4s %7llu %11s %11s %12s %11s %11s %8s %8s\n", name,
                static_cast<unsigned long long>(v.count), any ? mm(v.min, 3).c_str() : "-",
                any ? mm(v.max, 3).c_str() : "-", any ? mm(v.mean, 4).c_str() : "-",
                any ? mm(sigma.value, 4).c_str() : "-",
                number(any && tolerances, outside, 2).c_str(),
                number(pp.known(), pp.value, 3).c_str(), number(ppk.known(), ppk.value, 3).c_str());
}

QString modeOf(const RecFileHeader &h) {
    if (h.increment > 0) return QString("polled every %1 s").arg(h.increment);
    // Trigger mode leaves out the sample count; a polled recording at increment 0 keeps it.
    return h.sampleCount >= 0 ? "polled as fast as the link allowed" : "external trigger";
}

void printSetpoint(const QCommandLineParser &args, const RecFileHeader &h, const Tolerances &tol) {
    if (!tol.setpoint)
        std::printf("Set-point:   none (not recorded in set-point mode)");
    else
        std::printf("Set-point:   %s mm%s", mm(*tol.setpoint, 3).c_str(),
                    args.isSet("setpoint") ? " (--setpoint)" : "");
    if (args.isSet("setpoint") && HasSetpointMode(h))
        std::printf(", the recording's %s mm", mm(h.setpoint, 3).c_str());
    if (tol.upper) std::printf(", upper tolerance %s mm", mm(*tol.upper, 3).c_str());
    if (tol.lower) std::printf(", lower tolerance %s mm", mm(*tol.lower, 3).c_str());
    std::printf("\n");
}

void printIntervals(const Intervals &in, double increment) {
    std::printf("Samples:     %llu", static_cast<unsigned long long>(in.count));
    if (in.count > 0) std::printf(", first %s, last %s", in.first.c_str(), in.lastTime.c_str());
    std::printf("\n");
    if (in.count < 2) return;
    const double mean = in.mean();
    // Three significant digits: more than the whole-second stamps can tell.
    const int decimals =
        std::isfinite(mean) ? std::max(0, 2 - int(std::floor(std::log10(mean)))) : 0;
    std::printf("Intervals:   mean %s s (time stamps in whole seconds), largest gap %lld s",
                number(true, mean, decimals).c_str(), static_cast<long long>(in.largest));
    if (increment > 0)
        std::printf(", %llu longer than %g increments", static_cast<unsigned long long>(in.longer),
                    kLongInterval);
    std::printf("\n");
}

}  // namespace

int CmdStats(const QCommandLineParser &args) {
    RecReader reader;
    RecFileHeader h;
    if (const int status = OpenRecording(args, reader, h); status != EXIT_OK) return status;
    Tolerances tol;
    if (const int status = TolerancesOf(args, h, tol); status != EXIT_OK) return status;

    ColumnStats ma, sl, val;
    Intervals intervals;
    const int status = ForEachSample(args, reader, [&](const RecSample &s) {
        ma.add(s.ma, tol);
        sl.add(s.sl, tol);
        val.add(s.val, tol);
        intervals.add(s, h.increment);
    });
    if (status != EXIT_OK) return status;

    std::printf("File:        %s\n", qPrintable(args.positionalArguments().value(1)));
    if (const std::string pair = SidecarPair(args); !pair.empty()) {
        std::printf("Pair:        %s\n", pair.c_str());
        std::printf("Calibration: %s\n", CalibrationOf(args, h).c_str());
    }
    std::printf("Start:       %s %s\n", h.date.c_str(), h.time.c_str());
    std::printf("Mode:        %s\n", qPrintable(modeOf(h)));
    printSetpoint(args, h, tol);
    printIntervals(intervals, h.increment);
    std::printf("\n%-4s %7s %11s %11s %12s %11s %11s %8s %8s\n", "", "count", "min[mm]", "max[mm]",
                "mean[mm]", "std[mm]", "outside[%]", "Pp", "Ppk");
    printColumn("MA", ma, tol);
    printColumn("SL", sl, tol);
    printColumn("VAL", val, tol);
    return EXIT_OK;
}
