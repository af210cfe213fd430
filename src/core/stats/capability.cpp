#include "capability.h"

#include <algorithm>

void CapabilityIndices(const Figure &sigma, double mean, const SpecLimits &limits, Figure &p,
                       Figure &pk) {
    const char *missing = !limits.lower && !limits.upper ? kNoLimits
                          : !sigma.known()               ? sigma.missing
                          : sigma.value <= 0             ? kNoSpread
                                                         : nullptr;
    if (missing) {
        p = pk = Figure::none(missing);
        return;
    }
    const double s = sigma.value;
    p = limits.lower && limits.upper ? Figure::of((*limits.upper - *limits.lower) / (6 * s))
                                     : Figure::none(kBothLimits);
    double nearest =
        limits.upper ? (*limits.upper - mean) / (3 * s) : (mean - *limits.lower) / (3 * s);
    if (limits.upper && limits.lower) nearest = std::min(nearest, (mean - *limits.lower) / (3 * s));
    pk = Figure::of(nearest);
}

bool CapabilityRun::add(double x, ChartPoint &point) {
    overall_.add(x);
    if (!points_.add(x, point)) return false;
    centre_.add(point.value);
    if (point.ranged) ranges_.add(point.range);
    return true;
}

Capability CapabilityRun::result(const SpecLimits &limits) const {
    Capability c;
    c.subgroup = points_.subgroup();
    c.overall = overall_;
    c.points = centre_.count;
    c.ranges = ranges_.count;
    c.leftOut = points_.pending();
    c.rangeMean = ranges_.mean;
    c.sigmaOverall = overall_.sigma();
    const RangeConstants *k = RangeConstantsFor(std::max(c.subgroup, 2));
    c.d2 = k ? k->d2 : 0.0;
    if (!k) {
        c.sigmaWithin = c.chart = Figure::none(kBadSubgroup);
    } else if (c.ranges == 0) {
        c.sigmaWithin = c.chart = Figure::none(c.subgroup > 1 ? kNoSubgroup : kFewerThanTwo);
    } else {
        c.sigmaWithin = Figure::of(c.rangeMean / c.d2);
        c.chart = Figure::of(0);
        const double spread = c.subgroup > 1 ? k->a2 : kMovingRangeLimits;
        const double rangeUpper = c.subgroup > 1 ? k->d4 : kMovingRangeUpper;
        c.limits = {centre_.mean,
                    centre_.mean + spread * c.rangeMean,
                    centre_.mean - spread * c.rangeMean,
                    c.rangeMean,
                    rangeUpper * c.rangeMean,
                    (c.subgroup > 1 ? k->d3 : 0.0) * c.rangeMean};
    }
    CapabilityIndices(c.sigmaWithin, overall_.mean, limits, c.cp, c.cpk);
    CapabilityIndices(c.sigmaOverall, overall_.mean, limits, c.pp, c.ppk);
    return c;
}

Capability CapabilityOf(std::span<const double> values, const SpecLimits &limits, int subgroup,
                        RuleBreaks *breaks) {
    CapabilityRun run(subgroup);
    ChartPoint point;
    for (const double x : values) run.add(x, point);
    const Capability c = run.result(limits);
    if (breaks && c.chart.known()) {
        ChartPoints points(subgroup);
        RuleCheck check(c.limits);
        for (const double x : values)
            if (points.add(x, point)) check.add(point);
        *breaks = check.breaks();
    }
    return c;
}
