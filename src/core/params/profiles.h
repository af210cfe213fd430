// The video threshold lines and the redraw profiles of the two video graphs (PlotVIDEOCurveA/B
// draw them).
#pragma once
#include <cstdint>

#include "core/state/flags.h"

extern uint16_t thdArrayA[MAXPOINT];  // master threshold line: Video-Threshold % of ADCMAX
extern uint16_t thdArrayB[MAXPOINT];  // slave threshold line
extern uint16_t adcbufA[MAXPOINT];    // profile drawn under a threshold redraw (zeros)
extern uint16_t adcbufB[MAXPOINT];

// Fills a threshold line with percent × ADCMAX / 100 (integer arithmetic).
void FillThresholdLine(uint16_t (&line)[MAXPOINT], uint16_t percent);

// Fills both threshold lines from the master's and the slave's Video-Threshold.
void FillThresholdLines();
