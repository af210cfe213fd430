// The measurement displays of the touch surface, twins of the desktop displays: the same
// arithmetic, drawn on the touch main panel's position graphs and the touch graph panel's
// strip chart, with the numeric displays of the touch panel that is open.
#pragma once
#include <cstdint>

// Numeric displays of the open touch panel (numeric, recorder, or measured-value and graph),
// tolerance colour and lamps, and both touch position graphs from `raw`.
void PlotTSD_VIDEOBarGraph();

// Tolerance windows and set-point cursors of the touch position graphs.
void PlotTSD_TOLWindow(uint16_t mode, uint16_t posA, uint16_t posB, uint16_t tolA, uint16_t tolB);

// Thresholds, the shared history and the touch strip chart (its trace count left as it is).
void PlotTSD_RAWGraph();
