// The video graphs of both surfaces: a sensor's intensity profile with its threshold line.
#pragma once
#include <cstdint>

// One sensor's video profile in red and its threshold line in dark green (MAXPOINT values
// over the x positions `x`), on the desktop or, with tsd_flag set, the touch video graph.
void PlotVIDEOCurveA(const uint16_t *data, const uint16_t *threshold, const double *x);
void PlotVIDEOCurveB(const uint16_t *data, const uint16_t *threshold, const double *x);
