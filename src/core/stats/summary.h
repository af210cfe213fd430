// Count, mean, standard deviation, minimum and maximum of values taken one at a time, in constant
// memory. Plain C++.
#pragma once
#include <cstdint>

#include "figure.h"

// Welford's update: the spread is summed around the running mean, never as a sum of squares, so
// that values with many equal leading digits keep their spread.
struct ValueSummary {
    uint64_t count = 0;
    double mean = 0.0;
    double squares = 0.0;  // sum of squared deviations from the mean
    double min = 0.0, max = 0.0;

    void add(double x);
    // The sample standard deviation (n - 1); none for fewer than 2 values.
    Figure sigma() const;
};
