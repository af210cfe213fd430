// The measurement displays of the desktop main panel: numeric displays, the red/green
// tolerance state, the position graphs with the object and the tolerance windows, the
// measured-value strip chart and the two video graphs. Called once per RUN or VIDEO cycle.
#pragma once
#include <cstdint>

#include "shared/state.h"

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
