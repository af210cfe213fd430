// Process capability of measured values in one pass and constant memory (ISO 22514-2, AIAG SPC):
// Cp and Cpk from the spread within subgroups, Pp and Ppk from the overall spread, and the
// control limits of the I-MR or X-bar-R chart. Plain C++: the tool, the program and the bindings
// share it.
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "chartpoints.h"
#include "figure.h"
#include "rules.h"
#include "summary.h"

// The moving-range constants of single values: X-bar +- 2.66 MR-bar (3 / 1.128, kept unrounded),
// MR upper limit 3.267 MR-bar.
inline constexpr double kMovingRangeLimits = 3.0 / 1.128;
inline constexpr double kMovingRangeUpper = 3.267;

// The tolerance limits; a one-sided characteristic has only one.
struct SpecLimits {
    std::optional<double> lower, upper;
};

struct Capability {
    int subgroup = 1;      // 1: single values (I-MR); 2 to 10: subgroups (X-bar-R)
    ValueSummary overall;  // every value
    uint64_t points = 0;   // points of the chart: values, or complete subgroups
    uint64_t ranges = 0;   // moving ranges, or subgroup ranges
    int leftOut = 0;       // values of an incomplete last subgroup: in the overall figures only
    double rangeMean = 0;  // MR-bar or R-bar
    double d2 = 0;         // the divisor of the within sigma: 1.128, or d2 of the subgroup size
    Figure sigmaWithin;    // MR-bar / 1.128 or R-bar / d2
    Figure sigmaOverall;   // the sample standard deviation (n - 1)
    Figure cp, cpk;        // from sigma within
    Figure pp, ppk;        // from sigma overall
    Figure chart;          // the control limits: none without a moving range or subgroup
    ChartLimits limits;    // of the chart pair, when `chart` is known
};

// The indices of a spread `sigma` around `mean` against `limits`: Cp-like (both limits) and
// Cpk-like (the nearer limit; a one-sided limit gives only this one).
void CapabilityIndices(const Figure &sigma, double mean, const SpecLimits &limits, Figure &p,
                       Figure &pk);

// The figures gathered a value at a time.
class CapabilityRun {
  public:
    explicit CapabilityRun(int subgroup) : points_(subgroup) {}

    // Takes the next value: true when it completes a chart point, then in `point`.
    bool add(double x, ChartPoint &point);
    Capability result(const SpecLimits &limits) const;

  private:
    ValueSummary overall_, centre_, ranges_;
    ChartPoints points_;
};

// The figures of `values` (subgroup 1 to 10) and, given `breaks`, the points of their chart
// that break the rules: the entry point for a sequence held in memory.
Capability CapabilityOf(std::span<const double> values, const SpecLimits &limits, int subgroup,
                        RuleBreaks *breaks = nullptr);
