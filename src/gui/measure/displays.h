// The measurement displays of the desktop main panel: numeric displays, the red/green
// tolerance state, the position graphs with the object and the tolerance windows, the
// measured-value strip chart and the two video graphs. Called once per RUN or VIDEO cycle.
#pragma once
#include <cstdint>

#include "core/measure/evaluation.h"
#include "core/state/flags.h"
#include "wire/wire.h"

extern int32_t umValue;            // measured value of this cycle [um], by analog-output mode
extern uint16_t curposA, curposB;  // positions clamped to 1 … pixel count
extern uint16_t peakwA, peakwB;    // object widths [pixel]

// Numeric displays, tolerance colour, power fields and both position graphs from `raw`; ends
// with PlotTOLWindow.
void PlotVIDEOBarGraph();

// Tolerance windows and set-point cursors of both position graphs for evaluation mode
// `mode`, the positions and the upper (tolA) and lower (tolB) tolerance widths in pixels.
void PlotTOLWindow(uint16_t mode, uint16_t posA, uint16_t posB, uint16_t tolA, uint16_t tolB);

// Thresholds, the history `arrayNORM` and the measured-value strip chart with its axis.
void PlotRAWGraph();

// Trace colours of a measured-value strip chart: 1 black, 2–3 red, 4–6 dark green, 7 blue.
void SetStripChartColours(int panel, int chart);

// ---- Steps shared by the desktop displays and their touch twins ----------------------------

// The two position graphs of a surface.
struct PositionGraphs {
    int panel, master, slave;
};

// Object widths, umValue, clamped positions and the tolerance widths of this cycle's `raw`.
ToleranceWidths EvaluateRecord();

// Object bars, cursors and tolerance windows of `raw`, drawn anew every cycle.
void DrawPositionGraphs(const PositionGraphs &g, const ToleranceWidths &tol);

// Tolerance windows and set-point cursors for evaluation mode `mode`.
void DrawToleranceWindows(const PositionGraphs &g, uint16_t mode, uint16_t posA, uint16_t posB,
                          const ToleranceWidths &tol);

// Thresholds and the newest sample of the history; returns the zoom range of this cycle.
ZoomRange PushRecordSample();

// Colour of the tolerance state of umValue: dark green inside (limits included), else red.
int ToleranceColour();

// Sets a text background only when it differs, so an unchanged state costs no repaint.
void SetTextBackground(int panel, int control, int colour);

// A sensor's reported power (power mode 1) or integration time (mode 2, two-line hardware).
void ShowSensorPower(int panel, int powerField, int timeField, const ParaSensor &s, uint16_t power,
                     uint16_t milli);

// ---- Displays of a record that is no longer current -----------------------------------------

// The surfaces whose measured-value displays show the last record.
enum class DisplaySurface { Desktop, Touch };

// Shows a display as not current (true: dimmed, its tolerance colour given way to the neutral
// grey, a graph's plots faded) or as current again (false). The one look of both surfaces for a
// value that is not measured now; a caller switches a lamp off itself.
void ShowNotCurrent(int panel, int control, bool notCurrent);

// After a loop lost the link: the measured values, positions, position graphs and tolerance
// lamps of both surfaces are shown as not current, the lamps off.
void ShowRecordNotCurrent();

// A surface draws a new record: its displays are current again (nothing to do while they are).
void ShowRecordCurrent(DisplaySurface surface);
