#include "rounds.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int met = 0, missed = 0;

Spread spreadOf(std::vector<double> values) {
    if (values.empty() ||
        std::any_of(values.begin(), values.end(), [](double v) { return v < 0.0; }))
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    return {median, values.front(), values.back()};
}

// A verdict on the goal, counted for the summary.
const char *verdict(const Spread &s, Goal goal) {
    const bool ok = s.valid() && goal.metBy(s.median);
    ++(ok ? met : missed);
    return ok ? "met" : "MISSED";
}

const char *relation(Goal goal) {
    return goal.kind == Goal::AtLeast ? ">=" : "<=";
}

}  // namespace

Comparison Alternate(const Round &a, const Round &b, int rounds) {
    std::vector<double> as, bs, ratios;
    for (int i = 0; i < rounds; ++i) {
        as.push_back(a());
        bs.push_back(b());
        ratios.push_back(bs.back() > 0.0 && as.back() >= 0.0 ? as.back() / bs.back() : -1.0);
    }
    return {spreadOf(ratios), spreadOf(as), spreadOf(bs)};
}

Spread Repeat(const Round &round, int rounds) {
    std::vector<double> values;
    for (int i = 0; i < rounds; ++i) values.push_back(round());
    return spreadOf(values);
}

Comparison Against(const Spread &figure, double limit) {
    if (!figure.valid()) return {{}, figure, {limit, limit, limit}};
    return {{figure.median / limit, figure.low / limit, figure.high / limit},
            figure,
            {limit, limit, limit}};
}

void PrintRatio(const std::string &title, const Comparison &c, Goal goal, const std::string &nameA,
                const std::string &nameB, const std::string &unit) {
    std::printf("%-46s %7.3f  [%.3f .. %.3f]   goal %s %.2f  %s\n", title.c_str(), c.ratio.median,
                c.ratio.low, c.ratio.high, relation(goal), goal.limit, verdict(c.ratio, goal));
    std::printf("    %s %.1f %s [%.1f .. %.1f], %s %.1f %s [%.1f .. %.1f]\n", nameA.c_str(),
                c.a.median, unit.c_str(), c.a.low, c.a.high, nameB.c_str(), c.b.median,
                unit.c_str(), c.b.low, c.b.high);
}

void PrintFigure(const std::string &title, const Spread &s, Goal goal, const std::string &unit,
                 double scale) {
    std::printf("%-46s %7.3f %s [%.3f .. %.3f]   goal %s %.3g %s  %s\n", title.c_str(),
                s.median * scale, unit.c_str(), s.low * scale, s.high * scale, relation(goal),
                goal.limit * scale, unit.c_str(), verdict(s, goal));
}

void PrintFigure(const std::string &title, const Spread &s, const std::string &unit) {
    std::printf("%-46s %7.3f %s [%.3f .. %.3f]\n", title.c_str(), s.median, unit.c_str(), s.low,
                s.high);
}

int GoalsMissed() {
    return missed;
}

int GoalsMet() {
    return met;
}
