#include "core/params/derived.h"

#include <cmath>
#include <cstdint>

#include "core/link/calibheader.h"
#include "core/link/commands.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"

int umTeach, umRange, umRangeA, umRangeB, umVIRTOFFS, umupTHD, umloTHD;

namespace {

// 32-bit two's-complement results of 64-bit intermediates: sums of device values may pass
// 2^31 and must wrap as on the sensors, never be undefined.
int32_t wrap(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}
int32_t add(int64_t a, int64_t b) {
    return wrap(a + b);
}
int32_t sub(int64_t a, int64_t b) {
    return wrap(a - b);
}
int32_t div1000(int32_t v) {
    return v / 1000;
}
int32_t atLeast0(int32_t v) {
    return v < 0 ? 0 : v;
}

const CalibHeader &M() {
    return calib[0];
}
const CalibHeader &S() {
    return calib[1];
}
bool setpointMode() {
    return para.ge.measurementMode == 1;
}

// Distance from the teach value up to the offset, and from it to the end of the range.
int32_t dUp(const CalibHeader &x, int32_t teachValue) {
    return sub(teachValue, x.offset);
}
int32_t dLo(const CalibHeader &x, int32_t teachValue) {
    return sub(add(x.offset, x.range), teachValue);
}

// Axis limits of the pair modes around the current nominal value.
void pairAxis() {
    const int32_t up = add(dUp(M(), para.ma.umTeachValue), dUp(S(), para.sl.umTeachValue));
    const int32_t lo = add(dLo(M(), para.ma.umTeachValue), dLo(S(), para.sl.umTeachValue));
    YAXISMAX = div1000(add(add(umTeach, 1000), up));
    YAXISMIN = atLeast0(div1000(sub(umTeach, lo)));
}

// Axis limits of one evaluated sensor.
void singleAxis(const CalibHeader &x, int32_t teachValue) {
    const int32_t sp = para.ge.umSetpoint;
    if (setpointMode()) {
        umTeach = sp;
        YAXISMAX = div1000(add(add(sp, 1000), dUp(x, teachValue)));
        YAXISMIN = atLeast0(div1000(sub(sp, dLo(x, teachValue))));
    } else {
        umTeach = teachValue;
        YAXISMAX = div1000(add(add(x.offset, 1000), x.range));
        YAXISMIN = div1000(x.offset);
    }
}

void setThresholds(int32_t tolUp, int32_t tolLo) {
    umupTHD = add(umTeach, tolUp);
    umloTHD = sub(umTeach, tolLo);
}

}  // namespace

void DeriveSettings(uint16_t mode) {
    const int32_t sp = para.ge.umSetpoint;
    const int32_t mt = para.ma.umTeachValue, st = para.sl.umTeachValue;
    switch (mode) {
        case 0:
            umRange = S().range;
            umVIRTOFFS = S().virtOffset;
            umTeach = st;
            break;
        case 2:
            umRange = add(M().range, S().range);
            umVIRTOFFS = add(M().virtOffset, S().virtOffset);
            umTeach = setpointMode() ? sp : sub(umVIRTOFFS, add(mt, st));
            break;
        case 3:
            umRange = add(M().range, S().range);
            umVIRTOFFS = add(M().virtOffset, S().virtOffset);
            umRangeA = M().range;
            umRangeB = S().range;
            umTeach = setpointMode() ? sp : add(umVIRTOFFS / 2, sub(mt, st));
            break;
        case 4:
        case 5:
            umRange = add(M().range, S().range);
            umVIRTOFFS = M().virtOffset;
            umRangeA = M().range;
            umRangeB = S().range;
            umTeach = sp;
            break;
        default:  // 1 and every mode outside 0..5
            umRange = M().range;
            umVIRTOFFS = M().virtOffset;
            umTeach = mt;
            break;
    }
}

int DeriveThresholds(uint16_t mode) {
    const bool fromHardware = para.ge.hardwareMode != 0 && para.ge.hardwareMode != 2;
    int32_t tolUp = para.ge.umUpperTolerance, tolLo = para.ge.umLowerTolerance;
    if (fromHardware) {
        // The hardware tolerance word counts in 1/2048 of the measuring range.
        const double tol = std::trunc(double(umRange) * raw.hwTolerance / 2048.0);
        tolUp = tolLo = wrap(static_cast<int64_t>(tol));
    }
    const int32_t sp = para.ge.umSetpoint;
    switch (mode) {
        case 0:
            singleAxis(S(), para.sl.umTeachValue);
            break;
        case 1:
            singleAxis(M(), para.ma.umTeachValue);
            break;
        case 2:
        case 3:
            pairAxis();
            break;
        case 4:
        case 5:
            // The difference modes take their thresholds before the set-point replaces the
            // nominal value.
            setThresholds(tolUp, tolLo);
            if (setpointMode()) umTeach = sp;
            pairAxis();
            return fromHardware;
        default:
            if (setpointMode()) {
                umTeach = sp;
                YAXISMAX = div1000(add(add(sp, 1000), M().range / 2));
                YAXISMIN = atLeast0(div1000(sub(sp, M().range / 2)));
            } else {
                singleAxis(M(), para.ma.umTeachValue);
            }
            break;
    }
    setThresholds(tolUp, tolLo);
    return fromHardware;
}
