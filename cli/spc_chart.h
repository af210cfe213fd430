// What the plot module draws for the statistics: a control chart pair gathered into at most one
// bin per pixel column, a gauge study's run of values and histogram, and the one-page report
// that holds either, with the figures. k-tav-cli loads the module only when it draws.
#pragma once
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/stats/chartpoints.h"
#include "core/stats/rules.h"

class QString;

// The chart points of a stretch of point numbers: first, last and extremes of the values and of
// the ranges, and the rules broken there with the value and range of the last point that broke.
struct PointBin {
    bool empty = true, ranged = false;
    uint64_t first = 0, last = 0;  // point numbers
    double vFirst = 0, vLast = 0, vMin = 0, vMax = 0;
    double rFirst = 0, rLast = 0, rMin = 0, rMax = 0;
    unsigned broken = 0;  // ChartRule bits
    double brokenValue = 0, brokenRange = 0;
};

// The points gathered into a fixed number of bins of `per` points each: when the points
// outgrow them, neighbours are joined in pairs and each bin covers twice as many.
struct ChartBins {
    std::vector<PointBin> bins;
    uint64_t per = 1;

    void add(const ChartPoint &p, unsigned broken) {
        const auto size = static_cast<uint64_t>(bins.size());
        while ((p.number - 1) / per >= size) {
            for (uint64_t i = 0; i < size; ++i)
                bins[i] = 2 * i < size
                              ? joined(bins[2 * i], 2 * i + 1 < size ? bins[2 * i + 1] : PointBin{})
                              : PointBin{};
            per *= 2;
        }
        PointBin one{false,   p.ranged, p.number, p.number, p.value, p.value, p.value, p.value,
                     p.range, p.range,  p.range,  p.range,  broken,  p.value, p.range};
        PointBin &b = bins[(p.number - 1) / per];
        b = joined(b, one);
    }
    uint64_t lastPoint() const {
        for (auto b = bins.rbegin(); b != bins.rend(); ++b)
            if (!b->empty) return b->last;
        return 0;
    }

    static PointBin joined(const PointBin &a, const PointBin &b) {
        if (a.empty) return b;
        if (b.empty) return a;
        PointBin j = a;
        j.last = b.last;
        j.vLast = b.vLast;
        j.vMin = std::min(a.vMin, b.vMin);
        j.vMax = std::max(a.vMax, b.vMax);
        if (b.ranged) {
            j.rFirst = a.ranged ? a.rFirst : b.rFirst;
            j.rLast = b.rLast;
            j.rMin = a.ranged ? std::min(a.rMin, b.rMin) : b.rMin;
            j.rMax = a.ranged ? std::max(a.rMax, b.rMax) : b.rMax;
            j.ranged = true;
        }
        if (b.broken) {
            j.broken |= b.broken;
            j.brokenValue = b.brokenValue;
            j.brokenRange = b.brokenRange;
        }
        return j;
    }
};

// A control chart pair in millimetres: the values (I or X-bar) above, the ranges (MR or R)
// below on the same axis of point numbers, and the figures in a box.
struct ControlChart {
    ChartBins bins;
    int subgroup = 1;
    ChartLimits limits;
    std::optional<double> lower, upper;  // tolerance limits
    std::vector<std::string> figures;    // lines of the box
};

// A gauge study's values in millimetres, in measuring order.
struct GaugeChart {
    std::vector<double> values;
    double reference = 0, tolerance = 0;
};

// One line of figures: the figure's name, its value (or "-"), and what it comes from or why it
// has none. The tool prints the same lines that the report shows.
struct FigureRow {
    std::string name, value, note;
};

// The one-page report: a title, what was measured (name and text), the figures, a chart.
struct Report {
    std::string title;
    std::vector<std::pair<std::string, std::string>> measured;
    std::vector<FigureRow> figures;
    const ControlChart *control = nullptr;
    const GaugeChart *gauge = nullptr;
};

// Draws the chart pair into a picture of `width` x `height` and writes it as PNG to `out`,
// whole or not at all: false when it cannot be written.
using DrawControlChartFn = bool (*)(const ControlChart &chart, int width, int height,
                                    const QString &out);
inline constexpr char kDrawControlChartSymbol[] = "KtavDrawControlChart";

// The same for a gauge study: the run of values with the reference and reference +- 0.1 T, and
// the histogram beside it.
using DrawGaugeChartFn = bool (*)(const GaugeChart &chart, int width, int height,
                                  const QString &out);
inline constexpr char kDrawGaugeChartSymbol[] = "KtavDrawGaugeChart";

// Writes the report as a one-page PDF to `out`, whole or not at all.
using WriteReportFn = bool (*)(const Report &report, const QString &out);
inline constexpr char kWriteReportSymbol[] = "KtavWriteReport";
