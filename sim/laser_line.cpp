#include "laser_line.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "noise.h"

namespace {

double wave(double now, double period, double phase) {
    return std::sin(2.0 * std::numbers::pi * now / period + phase);
}

constexpr double LINE_SIGMA = 0.012;   // width of the laser line, share of the line length
constexpr double TARGET_LEVEL = 0.75;  // peak level the power regulation aims at
constexpr double BACKGROUND = 0.05;    // stray light, share of the full scale
constexpr double NOMINAL_POWER = 500.0;
constexpr double NOMINAL_EXPOSURE_US = 1000.0;

}  // namespace

LaserLine::LaserLine(uint64_t seed, int sensor, bool still, double jitter)
    : seed_(mix64(seed * 2 + sensor)), still_(still), jitter_(jitter) {
    for (int i = 0; i < 3; ++i) phase_[i] = static_cast<double>(mix64(seed_ + i) % 6283) / 1000.0;
}

double LaserLine::noise(uint64_t channel, double now) const {
    const auto tick = static_cast<uint64_t>(std::llround(now * 100.0));  // 10 ms grain
    const uint64_t h = mix64(seed_ ^ mix64(channel * 0x10001 + tick));
    return static_cast<double>(h % 20001) / 10000.0 - 1.0;
}

double LaserLine::centre(double teach, double now) const {
    // Two slow swings of unrelated periods: mostly near the teach position, now and then far
    // enough out to leave a tolerance band of about 100 pixels.
    const double swing =
        still_ ? 0.0 : 70.0 * wave(now, 17.0, phase_[0]) + 45.0 * wave(now, 5.3, phase_[1]);
    return teach + swing + jitter_ * noise(1000, now);
}

double LaserLine::brightness(const ParaSensor &set, int adcMax, double now, LineScan &scan) const {
    const double reflectivity = 1.0 + 0.15 * wave(now, 23.0, phase_[2]);
    const double target = TARGET_LEVEL * adcMax;
    const double exposure = set.intTime > 0 ? set.intTime : NOMINAL_EXPOSURE_US;
    const double gain = set.ccdOpMode == 1 ? 2.0 : 1.0;
    // What the regulations would need to reach the target level.
    scan.powerValue = static_cast<uint16_t>(std::clamp(
        NOMINAL_POWER / reflectivity * NOMINAL_EXPOSURE_US / exposure / gain, 0.0, 1000.0));
    scan.exposureUs =
        static_cast<uint16_t>(std::clamp(NOMINAL_EXPOSURE_US * NOMINAL_POWER /
                                             std::max<double>(set.power, 1.0) / reflectivity / gain,
                                         1.0, 65535.0));
    switch (set.powerMode) {
        case 1:  // dynamic power: the laser power follows the surface
        case 2:  // exposure control: the integration time follows the surface
            return target;
        default:  // static: power and integration time as set
            return target * reflectivity * set.power / NOMINAL_POWER * exposure /
                   NOMINAL_EXPOSURE_US * gain;
    }
}

LineScan LaserLine::scan(const ParaSensor &set, int subpixels, int adcMax, double now) const {
    LineScan scan;
    const double peak = brightness(set, adcMax, now, scan);
    const double c = centre(set.teachValue, now);
    const double sigma = LINE_SIGMA * subpixels;
    const double step = static_cast<double>(subpixels) / PROFILE_POINTS;
    for (int i = 0; i < PROFILE_POINTS; ++i) {
        const double d = (i * step - c) / sigma;
        const double v = BACKGROUND * adcMax + peak * std::exp(-0.5 * d * d) +
                         0.01 * adcMax * noise(static_cast<uint64_t>(i), now);
        scan.profile[i] = static_cast<uint16_t>(std::clamp(v, 0.0, static_cast<double>(adcMax)));
    }
    evaluate(set, subpixels, adcMax, scan);
    return scan;
}

void LaserLine::evaluate(const ParaSensor &set, int subpixels, int adcMax, LineScan &scan) const {
    const double step = static_cast<double>(subpixels) / PROFILE_POINTS;
    const double threshold = std::min(set.videoThreshold, uint16_t{100}) * adcMax / 100.0;
    const auto &p = scan.profile;
    auto inWindow = [&](int i) {
        return i >= 0 && i < PROFILE_POINTS && i * step >= set.evalBegin && i * step <= set.evalEnd;
    };
    int top = -1;
    for (int i = 0; i < PROFILE_POINTS; ++i)
        if (inWindow(i) && p[i] >= threshold && (top < 0 || p[i] > p[top])) top = i;
    if (top < 0) return;

    int first = top, last = top;
    while (inWindow(first - 1) && p[first - 1] >= threshold) --first;
    while (inWindow(last + 1) && p[last + 1] >= threshold) ++last;
    // Edges where the profile crosses the threshold, interpolated between the two points.
    auto crossing = [&](int inside, int outside) {
        if (!inWindow(outside)) return inside * step;
        const double frac = (p[inside] - threshold) / std::max(1.0, double(p[inside] - p[outside]));
        return (inside + (outside - inside) * frac) * step;
    };
    const double start = crossing(first, first - 1);
    const double end = std::max(crossing(last, last + 1), start + 1.0);
    scan.start = static_cast<uint16_t>(std::clamp(std::lround(start), 1L, long(subpixels) - 1));
    scan.end =
        static_cast<uint16_t>(std::clamp(std::lround(end), long(scan.start) + 1, long(subpixels)));
    scan.position = static_cast<uint16_t>((scan.start + scan.end) / 2);
    scan.edge = p[top];
}
