#include "rules.h"

#include <bit>

int RuleIndex(ChartRule rule) {
    return std::countr_zero(unsigned(rule));
}

void RuleCheck::note(ChartRule rule, uint64_t number) {
    const int i = RuleIndex(rule);
    ++breaks_.count[i];
    if (breaks_.first[i].size() < kListedBreaks) breaks_.first[i].push_back(number);
}

unsigned RuleCheck::add(const ChartPoint &p) {
    unsigned broken = 0;
    if (p.value > limits_.upper || p.value < limits_.lower) broken |= RULE_BEYOND;
    if (p.ranged && (p.range > limits_.rangeUpper || p.range < limits_.rangeLower))
        broken |= RULE_RANGE_BEYOND;

    const int side = p.value > limits_.centre ? 1 : p.value < limits_.centre ? -1 : 0;
    run_ = side != 0 && side == side_ ? run_ + 1 : 1;
    side_ = side;
    if (side != 0 && run_ >= kRunLength) broken |= RULE_RUN;

    // A trend of n values is n - 1 steps the same way; an equal value ends it.
    const int slope = first_ || p.value == last_ ? 0 : p.value > last_ ? 1 : -1;
    trend_ = slope == 0 ? 1 : slope == slope_ ? trend_ + 1 : 2;
    slope_ = slope;
    if (trend_ >= kTrendLength) broken |= RULE_TREND;
    last_ = p.value;
    first_ = false;

    for (const ChartRule rule : {RULE_BEYOND, RULE_RUN, RULE_TREND, RULE_RANGE_BEYOND})
        if (broken & rule) note(rule, p.number);
    return broken;
}
