// The points of a control chart that break the rules for a process out of control, checked one
// point at a time against the chart's limits. Plain C++.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "chartpoints.h"

// The rules, as bits of what a point breaks.
enum ChartRule : unsigned {
    RULE_BEYOND = 1,       // rule 1: a value beyond the control limits (3 sigma)
    RULE_RUN = 2,          // rule 2: 9 values in a row on one side of the centre line
    RULE_TREND = 4,        // rule 3: 6 values in a row rising, or falling
    RULE_RANGE_BEYOND = 8  // rule 1 on the range chart: a range beyond its limits
};
inline constexpr int kRuleCount = 4;
inline constexpr int kRunLength = 9;
inline constexpr int kTrendLength = 6;
// Point numbers kept per rule; the count goes on beyond them.
inline constexpr size_t kListedBreaks = 20;

struct RuleBreaks {
    std::array<uint64_t, kRuleCount> count{};
    std::array<std::vector<uint64_t>, kRuleCount> first;  // the first kListedBreaks points
};

// A rule's index in RuleBreaks (0 for RULE_BEYOND ...).
int RuleIndex(ChartRule rule);

class RuleCheck {
  public:
    explicit RuleCheck(const ChartLimits &limits) : limits_(limits) {}

    // The rules `point` breaks, as ChartRule bits. A run or a trend breaks its rule at the point
    // that completes it and at every point that carries it on.
    unsigned add(const ChartPoint &point);
    const RuleBreaks &breaks() const { return breaks_; }

  private:
    void note(ChartRule rule, uint64_t number);

    ChartLimits limits_;
    RuleBreaks breaks_;
    int side_ = 0, run_ = 0;     // side of the centre line (+1, -1, 0 on it) and its run
    int slope_ = 0, trend_ = 0;  // direction of the last step and the values it carried
    double last_ = 0.0;
    bool first_ = true;
};
