// What one measurement record means for the displays: the selected measured value, positions
// clamped to the CCD line, object widths, tolerance widths and windows in pixels, the zoom
// range of the measured-value chart and its history. Plain arithmetic, shared by the desktop
// and the touch displays; every sum and product is taken in 64 bits, so no value the sensor
// sends can overflow.
#pragma once
#include <cstdint>

#include "core/link/identity.h"
#include "wire/wire.h"

constexpr int STRIP_TRACES = 7;                         // traces of the measured-value chart
constexpr int STRIP_SAMPLES = 100;                      // samples of each trace kept in the history
extern double arrayNORM[STRIP_TRACES * STRIP_SAMPLES];  // history, oldest sample first

// Measured value [um] that the analog-output mode selects: 1 → umAnalog1, 2 → umAnalog23,
// every other mode → umValue.
int32_t SelectedValue(const RawRecord &r, uint16_t analogOutMode);

// Value of the chart's analog-output trace [um]: as SelectedValue, mode 3 like mode 2, and a
// mode-2/3 value of YAXISMAX − 1 plotted as 1.
int32_t AnalogTraceValue(const RawRecord &r, uint16_t analogOutMode);

// Where the value the analog-output mode selects lies against the thresholds derived from `para`
// and `calib` as the displays derive them: "in", "above" or "below". `record` is the last record
// read into `raw` (its hardware tolerance word sets the thresholds in the hardware modes).
const char *ToleranceOf(const RawRecord &record);

// A position raised to 1 when 0 and lowered to `pixels` when above it.
uint16_t ClampPosition(uint16_t position, int pixels);

// Object width end − start [pixel]; 1 when the end lies before the start.
uint16_t ObjectWidth(uint16_t start, uint16_t end);

// In tolerance when lo <= value <= up (the limits belong to the band).
bool InTolerance(int32_t value, int32_t lo, int32_t up);

// Millimetres of a 32-bit micrometre value read as unsigned.
double UnsignedMm(int32_t um);

// Tolerance widths [pixel] of the windows; `valid` false when a range is not positive, the
// windows are then left empty.
struct ToleranceWidths {
    uint16_t up = 0;  // tolA: upper tolerance
    uint16_t lo = 0;  // tolB: lower tolerance
    bool valid = true;
    bool operator==(const ToleranceWidths &) const = default;
};
ToleranceWidths ComputeToleranceWidths(const ParaGeneral &g, const RawRecord &r, int pixels,
                                       int32_t rangeAll, int32_t rangeA, int32_t rangeB);

// Tolerance set at the hardware in mm: range × hwTolerance / 2048000.
double HardwareToleranceMm(int32_t range, uint16_t hwTolerance);

// A tolerance window [left, right] on the position axis, its ends in any order: a left end
// below 0 becomes 1, a right end above pixels − 1 becomes `pixels`.
struct Window {
    double left, right;
};
Window ClampWindow(int64_t left, int64_t right, int pixels);

// Range of the zoomed measured-value axis [um] around the nominal value `teach`.
struct ZoomRange {
    int64_t bottom, top;
};
ZoomRange ComputeZoomRange(int32_t value, int32_t teach, int32_t up, int32_t lo, int yAxisMax,
                           int yAxisMin);

// Shifts the history by one sample and appends `sample` (STRIP_TRACES values) at its end.
void PushStripSample(const double (&sample)[STRIP_TRACES]);
