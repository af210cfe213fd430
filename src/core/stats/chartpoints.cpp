#include "chartpoints.h"

#include <algorithm>
#include <cmath>

namespace {

// The standard constants of Shewhart's range charts.
constexpr RangeConstants kConstants[] = {
    {2, 1.128, 1.880, 0.0, 3.267},    {3, 1.693, 1.023, 0.0, 2.574},
    {4, 2.059, 0.729, 0.0, 2.282},    {5, 2.326, 0.577, 0.0, 2.114},
    {6, 2.534, 0.483, 0.0, 2.004},    {7, 2.704, 0.419, 0.076, 1.924},
    {8, 2.847, 0.373, 0.136, 1.864},  {9, 2.970, 0.337, 0.184, 1.816},
    {10, 3.078, 0.308, 0.223, 1.777},
};

}  // namespace

const RangeConstants *RangeConstantsFor(int n) {
    for (const RangeConstants &c : kConstants)
        if (c.n == n) return &c;
    return nullptr;
}

bool ChartPoints::add(double x, ChartPoint &point) {
    if (subgroup_ <= 1) {
        point = {++points_, x, std::fabs(x - last_), taken_ > 0};
        taken_ = 1;
        last_ = x;
        return true;
    }
    min_ = taken_ == 0 ? x : std::min(min_, x);
    max_ = taken_ == 0 ? x : std::max(max_, x);
    sum_ = taken_ == 0 ? x : sum_ + x;
    if (++taken_ < subgroup_) return false;
    point = {++points_, sum_ / subgroup_, max_ - min_, true};
    taken_ = 0;
    return true;
}
