// The statistics of the core against published reference values: NIST's certified univariate
// sets, textbook control charts with their published limits, a type-1 gauge study worked out by
// hand, and the edge rows where a figure has no value.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/stats/capability.h"
#include "core/stats/gauge.h"

namespace {

// A figure as a front shows it: the value, or "-" and why.
std::string shown(const Figure &f) {
    return f.known() ? std::to_string(f.value) : std::string("- ") + f.missing;
}

// NIST StRD NumAcc2..4: `first`, then 500 pairs of first - 0.1 and first + 0.1 (1001 values).
std::vector<double> numAcc(double first) {
    std::vector<double> values{first};
    for (int i = 0; i < 500; ++i) values.insert(values.end(), {first - 0.1, first + 0.1});
    return values;
}

}  // namespace

// Certified mean and standard deviation (n - 1) of NIST StRD NumAcc1 to NumAcc4. Their stiffness
// (up to eight equal leading digits) leaves nothing of a spread taken as a sum of squares;
// NumAcc4's inputs themselves lose digits in binary, hence the relative bound of the spread.
TEST(Stats, NistUnivariateCertifiedValues) {
    const std::pair<std::vector<double>, std::pair<double, double>> sets[] = {
        {{10000001, 10000003, 10000002}, {10000002, 1.0}},
        {numAcc(1.2), {1.2, 0.1}},
        {numAcc(1000000.2), {1000000.2, 0.1}},
        {numAcc(10000000.2), {10000000.2, 0.1}},
    };
    for (const auto &[values, certified] : sets) {
        ValueSummary s;
        for (double x : values) s.add(x);
        EXPECT_NEAR(s.mean, certified.first, 1e-15 * certified.first) << values.size();
        ASSERT_TRUE(s.sigma().known());
        EXPECT_NEAR(s.sigma().value, certified.second, 1e-7 * certified.second) << certified.first;
    }
}

// NIST/SEMATECH e-Handbook 6.3.2.2, flow rate of 10 batches: X-bar 50.81, MR-bar 1.8778,
// limits 55.80 and 45.82; MR chart 3.267 x 1.8778 = 6.13. Montgomery, Introduction to
// Statistical Quality Control, example 6.1, piston ring diameters, 25 subgroups of 5:
// X-double-bar 74.001, R-bar 0.023, limits 74.014 and 73.988, R chart 0.049 and 0 (from the
// rounded R-bar); against 74.000 +- 0.05 Cp = 0.10 / (6 x 0.02276 / 2.326) = 1.70 and
// Cpk = (74.05 - 74.00118) / (3 x 0.009785) = 1.66.
TEST(Stats, TextbookControlChartsGiveTheirPublishedLimits) {
    const std::vector<double> flow = {49.6, 47.6, 49.9, 51.3, 47.8, 51.2, 52.6, 52.4, 53.6, 52.1};
    const std::vector<double> rings = {
        74.030, 74.002, 74.019, 73.992, 74.008, 73.995, 73.992, 74.001, 74.011, 74.004, 73.988,
        74.024, 74.021, 74.005, 74.002, 74.002, 73.996, 73.993, 74.015, 74.009, 73.992, 74.007,
        74.015, 73.989, 74.014, 74.009, 73.994, 73.997, 73.985, 73.993, 73.995, 74.006, 73.994,
        74.000, 74.005, 73.985, 74.003, 73.993, 74.015, 73.988, 74.008, 73.995, 74.009, 74.005,
        74.004, 73.998, 74.000, 73.990, 74.007, 73.995, 73.994, 73.998, 73.994, 73.995, 73.990,
        74.004, 74.000, 74.007, 74.000, 73.996, 73.983, 74.002, 73.998, 73.997, 74.012, 74.006,
        73.967, 73.994, 74.000, 73.984, 74.012, 74.014, 73.998, 73.999, 74.007, 74.000, 73.984,
        74.005, 73.998, 73.996, 73.994, 74.012, 73.986, 74.005, 74.007, 74.006, 74.010, 74.018,
        74.003, 74.000, 73.984, 74.002, 74.003, 74.005, 73.997, 74.000, 74.010, 74.013, 74.020,
        74.003, 73.988, 74.001, 74.009, 74.005, 73.996, 74.004, 73.999, 73.990, 74.006, 74.009,
        74.010, 73.989, 73.990, 74.009, 74.014, 74.015, 74.008, 73.993, 74.000, 74.010, 73.982,
        73.984, 73.995, 74.017, 74.013};
    struct Row {
        const std::vector<double> &values;
        int subgroup;
        double rangeMean, centre, upper, lower, rangeUpper, cp, cpk, digits;
    };
    for (const Row &r : {Row{flow, 1, 1.8778, 50.81, 55.80, 45.82, 6.13, 0, 0, 0.005},
                         Row{rings, 5, 0.023, 74.001, 74.014, 73.988, 0.049, 1.70, 1.66, 0.0005}}) {
        const Capability c = CapabilityOf(r.values, {73.95, 74.05}, r.subgroup);
        EXPECT_EQ(c.points, r.values.size() / r.subgroup);
        EXPECT_NEAR(c.rangeMean, r.rangeMean, r.digits);
        EXPECT_NEAR(c.limits.centre, r.centre, r.digits);
        EXPECT_NEAR(c.limits.upper, r.upper, r.digits);
        EXPECT_NEAR(c.limits.lower, r.lower, r.digits);
        EXPECT_NEAR(c.limits.rangeUpper, r.rangeUpper, 2 * r.digits);
        EXPECT_EQ(c.limits.rangeLower, 0.0);
        if (r.subgroup == 1) continue;
        EXPECT_NEAR(c.cp.value, r.cp, 0.005);
        EXPECT_NEAR(c.cpk.value, r.cpk, 0.005);
    }
}

// Against a centre line 0 and limits +-3 (range limit 4): the points each rule marks, as
// "rule:point" in point order; a run or trend is marked from the point that completes it on.
TEST(Stats, RuleBreaksMarkThePointsThatBreakThem) {
    const ChartLimits limits{0, 3, -3, 1, 4, 0};
    const std::pair<std::vector<double>, std::string> rows[] = {
        {{1, 4, -1, -3.5, 0}, "1:2 4:3 1:4"},  // beyond, and a moving range of 5
        {{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, "2:10 2:11"},
        {{0, 1, 1, 1, 1, -1, 1, 1, 1, 1, 1, 1, 1, 1}, ""},  // the run starts again
        {{0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.5}, "3:6 3:7"},
        {{0.1, 0.2, 0.3, 0.4, 0.5, 0.5, 0.6}, ""},  // an equal value ends the rise
        {{0.5, 0.4, 0.3, 0.2, 0.1, 0, -0.1}, "3:6 3:7"},
    };
    for (const auto &[values, marked] : rows) {
        ChartPoints points(1);
        RuleCheck check(limits);
        ChartPoint p;
        std::string seen;
        for (double x : values) {
            if (!points.add(x, p)) continue;
            const unsigned broken = check.add(p);
            for (const auto &[bit, name] : {std::pair(RULE_BEYOND, "1"),
                                            {RULE_RUN, "2"},
                                            {RULE_TREND, "3"},
                                            {RULE_RANGE_BEYOND, "4"}})
                if (broken & bit)
                    seen += (seen.empty() ? "" : " ") + std::string(name) + ":" +
                            std::to_string(p.number);
        }
        EXPECT_EQ(seen, marked) << values.size();
        const auto &counts = check.breaks().count;
        EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3],
                  uint64_t(std::count(marked.begin(), marked.end(), ':')));
    }
}

// Where a figure cannot be had, "-" and why, never a division by zero; one-sided limits give
// only the index they define; an incomplete last subgroup counts in the overall figures only.
TEST(Stats, EdgeRowsGiveFiguresOrTheirReasons) {
    using Limits = SpecLimits;
    struct Row {
        std::vector<double> values;
        Limits limits;
        int subgroup;
        std::string within, cp, cpk, pp, ppk;
    };
    const std::string none = "- no tolerance limits", flat = "- no spread (sigma 0)",
                      few = "- fewer than 2 values", both = "- needs both limits";
    const Row rows[] = {
        {{5, 5, 5, 5}, {4, 6}, 1, "0.000000", flat, flat, flat, flat},
        {{5}, {4, 6}, 1, few, few, few, few, few},
        {{1, 2, 3}, {}, 1, "0.886525", none, none, none, none},
        // mean 2.5, s 1.290994, MR-bar 1: sigma within 1 / 1.128
        {{1, 2, 3, 4}, {{}, 7}, 1, "0.886525", both, "1.692000", both, "1.161895"},
        {{1, 2, 3, 4}, {0, {}}, 1, "0.886525", both, "0.940000", both, "0.645497"},
        // subgroups (1 2 3) (4 5 6), 7 left out: R-bar 2, sigma 2 / 1.693; overall mean 4
        {{1, 2, 3, 4, 5, 6, 7},
         {0, 9},
         3,
         "1.181335",
         "1.269750",
         "1.128667",
         "0.694365",
         "0.617213"},
        {{1, 2},
         {0, 9},
         3,
         "- no complete subgroup",
         "- no complete subgroup",
         "- no complete subgroup",
         "2.121320",
         "0.707107"},
        {{1, 2, 3},
         {0, 9},
         11,
         "- subgroup size outside 1 to 10",
         "- subgroup size outside 1 to 10",
         "- subgroup size outside 1 to 10",
         "1.500000",
         "0.666667"},
    };
    for (const Row &r : rows) {
        const Capability c = CapabilityOf(r.values, r.limits, r.subgroup);
        const std::string what = std::to_string(r.values.size()) + "/" + std::to_string(r.subgroup);
        EXPECT_EQ(shown(c.sigmaWithin), r.within) << what;
        EXPECT_EQ(shown(c.cp), r.cp) << what;
        EXPECT_EQ(shown(c.cpk), r.cpk) << what;
        EXPECT_EQ(shown(c.pp), r.pp) << what;
        EXPECT_EQ(shown(c.ppk), r.ppk) << what;
    }
    RuleBreaks breaks;  // a spike: beyond the limits, and so is its moving range
    CapabilityOf(std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, 0, 10}, {}, 1, &breaks);
    EXPECT_EQ(std::pair(breaks.count[0], breaks.count[3]), std::pair(1ul, 1ul));
    const Capability split = CapabilityOf(std::vector<double>{1, 2, 3, 4, 5, 6, 7}, {}, 3);
    EXPECT_EQ(split.points, 2u);
    EXPECT_EQ(split.leftOut, 1);
    EXPECT_EQ(split.overall.count, 7u);
    EXPECT_DOUBLE_EQ(split.limits.centre, 3.5);
    EXPECT_NEAR(split.limits.upper, 3.5 + 1.023 * 2, 1e-12);
}

// Five values of a part of 10000 um, worked out by hand: mean 10002, bias 2; deviations -1 1 0 2
// -2, s = sqrt(10 / 4) = 1.581139. T = 100: Cg = 20 / 9.486833 = 2.108185, Cgk = (10 - 2) /
// 4.743416 = 1.686548, %RE = 1 / 100 = 1 %. T = 40: Cg = 8 / 9.486833 = 0.843274, Cgk = 2 /
// 4.743416 = 0.421637. A resolution of 6 in T = 100 is 6 %.
TEST(Stats, GaugeStudyAsWorkedOutByHand) {
    ValueSummary five, flat;
    for (double x : {10001, 10003, 10002, 10004, 10000}) five.add(x);
    for (int i = 0; i < 5; ++i) flat.add(10000);
    struct Row {
        const ValueSummary &values;
        double tolerance, resolution;
        std::string cg, cgk, re, verdict;
    };
    for (const Row &r :
         {Row{five, 100, 1, "2.108185", "1.686548", "1.000000", "capable"},
          Row{five, 40, 1, "0.843274", "0.421637", "2.500000",
              "not capable: Cg 0.84 below 1.33, Cgk 0.42 below 1.33"},
          Row{five, 100, 6, "2.108185", "1.686548", "6.000000", "not capable: %RE 6.0 % above 5 %"},
          Row{flat, 100, 1, "- no spread (sigma 0)", "- no spread (sigma 0)", "1.000000",
              "not capable: Cg -: no spread (sigma 0), Cgk -: no spread (sigma 0)"}}) {
        const GaugeStudy g = GaugeStudyOf(r.values, 10000, r.tolerance, r.resolution);
        EXPECT_EQ(shown(g.cg), r.cg) << r.tolerance;
        EXPECT_EQ(shown(g.cgk), r.cgk) << r.tolerance;
        EXPECT_EQ(shown(g.resolutionPercent), r.re) << r.tolerance;
        EXPECT_EQ(g.capable ? "capable" : "not capable: " + g.why, r.verdict) << r.tolerance;
    }
    EXPECT_DOUBLE_EQ(GaugeStudyOf(five, 10000, 100, 1).bias, 2.0);
}
