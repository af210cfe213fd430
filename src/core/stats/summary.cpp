#include "summary.h"

#include <algorithm>
#include <cmath>

void ValueSummary::add(double x) {
    min = count == 0 ? x : std::min(min, x);
    max = count == 0 ? x : std::max(max, x);
    ++count;
    const double delta = x - mean;
    mean += delta / double(count);
    squares += delta * (x - mean);
}

Figure ValueSummary::sigma() const {
    if (count < 2) return Figure::none(kFewerThanTwo);
    return Figure::of(std::sqrt(squares / double(count - 1)));
}
