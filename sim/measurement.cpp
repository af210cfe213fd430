#include "measurement.h"

#include <algorithm>
#include <array>

int32_t toMicrometres(const CalibHeader &calib, std::span<const uint16_t> table, bool linearised,
                      int position, int pixelCount) {
    const int64_t straight =
        calib.offset + static_cast<int64_t>(calib.range) * position / std::max(pixelCount, 1);
    if (!linearised || table.size() < 2) return static_cast<int32_t>(straight);
    const double at = std::clamp(
        static_cast<double>(position) * static_cast<double>(table.size()) / std::max(pixelCount, 1),
        0.0, static_cast<double>(table.size() - 1));
    const auto i = std::min(static_cast<size_t>(at), table.size() - 2);
    if (table[i] == 0xFFFF || table[i + 1] == 0xFFFF) return static_cast<int32_t>(straight);
    const double frac = at - static_cast<double>(i);
    return calib.offset + static_cast<int32_t>(table[i] + frac * (table[i + 1] - table[i]));
}

PairValue evaluatePair(const ParaGeneral &general, const CalibHeader &ma, const CalibHeader &sl,
                       int32_t umA, int32_t umB, int posA, int posB, int subpixels) {
    PairValue out;
    int combined = subpixels;
    switch (general.evalMode) {
        case 0:  // SLAVE
            out.value = umB;
            break;
        case 2:  // WIDTH: distance between the two sensors' objects
            out.value = ma.virtOffset + sl.virtOffset - (umA + umB);
            break;
        case 3:  // CENTER: offset of the object from the middle of the pair
            out.value = (ma.virtOffset + sl.virtOffset) / 2 + (umA - umB);
            combined = subpixels + (posA - posB) / 2;
            break;
        case 4:  // DIFF MA-SL
            out.value = ma.virtOffset + umA - umB;
            combined = subpixels + posA - posB;
            break;
        case 5:  // DIFF SL-MA
            out.value = ma.virtOffset + umB - umA;
            combined = subpixels + posB - posA;
            break;
        default:  // MASTER, and every other mode
            out.value = umA;
            break;
    }
    out.combined = static_cast<uint16_t>(std::clamp(combined, 0, std::min(2 * subpixels, 0xFFFF)));
    return out;
}

uint16_t hardwareTolerance(uint16_t hardwareMode) {
    // Switch positions of the sensor's tolerance selector: 10 %, 20 % and 5 % of the range.
    static constexpr std::array<uint16_t, 5> words = {0, 205, 0, 410, 102};
    return hardwareMode < words.size() ? words[hardwareMode] : 0;
}
