#include "axis.h"

#include <algorithm>
#include <cmath>

namespace {

// The round step m * 10^e (m 1, 2 or 5) after the one given.
void nextStep(int &m, int &e) {
    if (m == 1) {
        m = 2;
    } else if (m == 2) {
        m = 5;
    } else {
        m = 1;
        ++e;
    }
}

}  // namespace

AxisTicks RoundTicks(double low, double high, int maxTicks, double minStep) {
    if (high < low) std::swap(low, high);
    maxTicks = std::max(maxTicks, 3);
    // The smallest round step at least minStep and a share of the range, then larger ones
    // until the ticks that enclose the range are few enough.
    const double wanted = std::max((high - low) / (maxTicks - 1), minStep);
    int m = 1, e = static_cast<int>(std::floor(std::log10(wanted)));
    AxisTicks t;
    for (;; nextStep(m, e)) {
        t.step = m * std::pow(10.0, e);
        if (t.step < minStep) continue;
        // A bound on a tick stays on it whatever the rounding of the division.
        t.first = static_cast<int64_t>(std::floor(low / t.step + 1e-9));
        int64_t last = static_cast<int64_t>(std::ceil(high / t.step - 1e-9));
        if (last == t.first) {  // one value: a tick on either side of it
            --t.first;
            ++last;
        }
        if (last - t.first + 1 <= maxTicks) {
            t.count = static_cast<int>(last - t.first + 1);
            break;
        }
    }
    t.decimals = std::max(0, -e);
    return t;
}

TimeUnit TimeUnitFor(double seconds) {
    if (seconds <= 120) return {1.0, "s"};
    if (seconds <= 2 * 3600) return {60.0, "min"};
    return {3600.0, "h"};
}
