// The scales of plot's chart: ticks at round steps, so that every label is a short number that
// differs from its neighbours, and the unit of the time axis.
#pragma once
#include <QString>
#include <cstdint>

// Ticks first * step, (first + 1) * step, ... : the step is 1, 2 or 5 times a power of ten.
struct AxisTicks {
    int64_t first = 0;  // the first tick, in steps from 0
    double step = 1;    // the distance between two ticks
    int count = 2;      // ticks from the first to the last
    int decimals = 0;   // digits after the point: as many as the step has

    double value(int i) const { return double(first + i) * step; }
    double low() const { return value(0); }
    double high() const { return value(count - 1); }
    QString label(int i) const { return QString::number(value(i), 'f', decimals); }
};

// The ticks from the last at or below `low` to the first at or above `high` with the smallest
// round step of at least `minStep` that needs no more than `maxTicks` (3 or more) of them;
// equal ends get a tick a step below and above.
AxisTicks RoundTicks(double low, double high, int maxTicks, double minStep);

// The unit of the time axis: seconds up to two minutes, minutes up to two hours, then hours.
struct TimeUnit {
    double seconds;    // one unit in seconds
    const char *name;  // "s", "min" or "h"
};
TimeUnit TimeUnitFor(double seconds);
