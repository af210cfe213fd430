// The points of a control chart pair, made from the values one at a time: single values (I-MR
// chart) give each value and its moving range; subgroups of 2 to 10 (X-bar-R chart) give each
// complete subgroup's mean and range. The constants of the charts. Plain C++.
#pragma once
#include <cstdint>

// Subgroup sizes of the X-bar-R chart; 1 stands for single values.
inline constexpr int kMinSubgroup = 2;
inline constexpr int kMaxSubgroup = 10;

// The constants of a range chart of ranges of n values: sigma = R-bar / d2, the X-bar limits
// X-double-bar +- A2 R-bar, the range limits D3 R-bar and D4 R-bar.
struct RangeConstants {
    int n;
    double d2, a2, d3, d4;
};

// The constants for n = 2 to 10; n = 2 also serves the moving range of single values (d2 1.128,
// and 3 / d2 = 2.66 for the limits of the values, D4 3.267). Nullptr for any other n.
const RangeConstants *RangeConstantsFor(int n);

// The centre lines and control limits of the chart pair: the values chart (I or X-bar) and the
// range chart below it (MR or R).
struct ChartLimits {
    double centre = 0.0, upper = 0.0, lower = 0.0;
    double rangeCentre = 0.0, rangeUpper = 0.0, rangeLower = 0.0;
};

// One point of the chart pair.
struct ChartPoint {
    uint64_t number = 0;  // 1-based: the value's or the subgroup's number
    double value = 0.0;   // the value, or the subgroup's mean
    double range = 0.0;   // the moving range, or the subgroup's range
    bool ranged = false;  // false for the first single value, which has no moving range
};

class ChartPoints {
  public:
    explicit ChartPoints(int subgroup) : subgroup_(subgroup) {}

    // Takes the next value: true when it completes a point, then in `point`.
    bool add(double x, ChartPoint &point);
    // Values of an incomplete last subgroup, left out of the chart.
    int pending() const { return subgroup_ > 1 ? taken_ : 0; }
    int subgroup() const { return subgroup_; }

  private:
    int subgroup_;
    uint64_t points_ = 0;
    int taken_ = 0;  // values of the current subgroup, or 1 after the first single value
    double sum_ = 0.0, min_ = 0.0, max_ = 0.0, last_ = 0.0;
};
