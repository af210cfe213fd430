// A figure of the statistics, or why it has none: a front shows "-" with the reason instead of
// a number that came from a division by zero.
#pragma once

struct Figure {
    double value = 0.0;
    const char *missing = nullptr;  // why there is no value; nullptr when there is one

    bool known() const { return missing == nullptr; }
    static Figure of(double value) { return {value, nullptr}; }
    static Figure none(const char *why) { return {0.0, why}; }
};

// The reasons a figure may have none.
inline constexpr char kFewerThanTwo[] = "fewer than 2 values";
inline constexpr char kNoSpread[] = "no spread (sigma 0)";
inline constexpr char kNoLimits[] = "no tolerance limits";
inline constexpr char kBothLimits[] = "needs both limits";
inline constexpr char kNoSubgroup[] = "no complete subgroup";
inline constexpr char kBadSubgroup[] = "subgroup size outside 1 to 10";
