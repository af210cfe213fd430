#include "core/measure/evaluation.h"

#include <algorithm>
#include <iterator>

#include "core/link/identity.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"

double arrayNORM[STRIP_TRACES * STRIP_SAMPLES];

namespace {

// Width [pixel] of a tolerance of `um` micrometres on a line of `pixels` pixels covering
// `range` micrometres, truncated toward zero and limited to 16 bits.
uint16_t pixelsOf(int pixels, uint32_t um, int32_t range) {
    const int64_t width = int64_t{pixels} * um / range;
    return static_cast<uint16_t>(std::min<int64_t>(width, UINT16_MAX));
}

}  // namespace

int32_t SelectedValue(const RawRecord &r, uint16_t analogOutMode) {
    switch (analogOutMode) {
        case 1:
            return r.umAnalog1;
        case 2:
            return r.umAnalog23;
        default:
            return r.umValue;
    }
}

const char *ToleranceOf(const RawRecord &record) {
    const uint16_t mode = para.ge.evalMode;
    DeriveSettings(mode);
    DeriveThresholds(mode);
    const int32_t value = SelectedValue(record, para.ge.analogOutMode);
    if (InTolerance(value, umloTHD, umupTHD)) return "in";
    return value > umupTHD ? "above" : "below";
}

int32_t AnalogTraceValue(const RawRecord &r, uint16_t analogOutMode) {
    switch (analogOutMode) {
        case 1:
            return r.umAnalog1;
        case 2:
        case 3:
            return int64_t{r.umAnalog23} == int64_t{YAXISMAX} - 1 ? 1 : r.umAnalog23;
        default:
            return r.umValue;
    }
}

uint16_t ClampPosition(uint16_t position, int pixels) {
    if (position == 0) return 1;
    return position > pixels ? static_cast<uint16_t>(pixels) : position;
}

uint16_t ObjectWidth(uint16_t start, uint16_t end) {
    return end < start ? 1 : static_cast<uint16_t>(end - start);
}

bool InTolerance(int32_t value, int32_t lo, int32_t up) {
    return value >= lo && value <= up;
}

double UnsignedMm(int32_t um) {
    return static_cast<uint32_t>(um) / 1000.0;
}

ToleranceWidths ComputeToleranceWidths(const ParaGeneral &g, const RawRecord &r, int pixels,
                                       int32_t rangeAll, int32_t rangeA, int32_t rangeB) {
    ToleranceWidths w;
    if (g.hardwareMode != 0 && g.hardwareMode != 2) {
        w.up = w.lo = static_cast<uint16_t>(int64_t{pixels} * r.hwTolerance / 2048);
        return w;
    }
    const bool pair = g.evalMode >= 3 && g.evalMode <= 5;
    const int32_t upRange = pair ? rangeA : rangeAll;
    const int32_t loRange = pair ? rangeB : rangeAll;
    if (upRange <= 0 || loRange <= 0) {
        w.valid = false;
        return w;
    }
    w.up = pixelsOf(pixels, static_cast<uint32_t>(g.umUpperTolerance), upRange);
    w.lo = pixelsOf(pixels, static_cast<uint32_t>(g.umLowerTolerance), loRange);
    return w;
}

double HardwareToleranceMm(int32_t range, uint16_t hwTolerance) {
    return static_cast<double>(int64_t{range} * hwTolerance) / 2048000.0;
}

Window ClampWindow(int64_t left, int64_t right, int pixels) {
    if (left < 0) left = 1;
    if (right > pixels - 1) right = pixels;
    return {static_cast<double>(left), static_cast<double>(right)};
}

// The wider of the two tolerances decides the range: the band ± 2 tolerances while the value
// lies inside it, else ± 4 tolerances reaching out to the value. The axis limits are in mm.
ZoomRange ComputeZoomRange(int32_t value, int32_t teach, int32_t up, int32_t lo, int yAxisMax,
                           int yAxisMin) {
    const int64_t t = teach, v = value;
    const int64_t dUp = int64_t{up} - t, dLo = t - int64_t{lo};
    const int64_t d = dUp > dLo ? dUp : dLo;
    if (v >= t - 2 * d && v <= t + 2 * d) return {t - 2 * d, t + 2 * d};
    ZoomRange z{t - 4 * d, t + 4 * d};
    if (dUp > dLo) {
        if (v > z.top) z.top = int64_t{yAxisMax} * 1000;
        if (v < z.bottom) z.bottom = int64_t{yAxisMin} * 1000;
    } else {
        if (v > z.top) z.top += d;
        if (v < z.bottom) z.bottom -= d;
    }
    return z;
}

void PushStripSample(const double (&sample)[STRIP_TRACES]) {
    std::copy(std::begin(arrayNORM) + STRIP_TRACES, std::end(arrayNORM), std::begin(arrayNORM));
    std::copy(std::begin(sample), std::end(sample), std::end(arrayNORM) - STRIP_TRACES);
}
