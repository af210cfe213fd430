// The video threshold lines, the redraw profiles of the two video graphs and the routines that
// draw a profile with its threshold line.
#pragma once
#include <cstdint>

#include "shared/state.h"

extern uint16_t thdArrayA[MAXPOINT];  // master threshold line: Video-Threshold % of ADCMAX
extern uint16_t thdArrayB[MAXPOINT];  // slave threshold line
extern uint16_t adcbufA[MAXPOINT];    // profile drawn under a threshold redraw (zeros)
extern uint16_t adcbufB[MAXPOINT];

// Fills a threshold line with percent × ADCMAX / 100 (integer arithmetic).
void FillThresholdLine(uint16_t (&line)[MAXPOINT], uint16_t percent);

// Fills both threshold lines from the master's and the slave's Video-Threshold.
void FillThresholdLines();

// One sensor's video profile in red and its threshold line in dark green (MAXPOINT values
// over the x positions `x`), on the desktop or, with tsd_flag set, the touch video graph.
void PlotVIDEOCurveA(const uint16_t *data, const uint16_t *threshold, const double *x);
void PlotVIDEOCurveB(const uint16_t *data, const uint16_t *threshold, const double *x);
