// From the two lines' positions to micrometres and to the pair's measured value, as the
// evaluation mode asks for.
#pragma once
#include <cstdint>
#include <span>

#include "wire/wire.h"

// Micrometres of a position on the line: offset + range * position / pixelCount, or, with
// linearisation on, offset + the table's distance at that position (interpolated). Table
// entries still erased (0xFFFF) fall back to the straight line.
int32_t toMicrometres(const CalibHeader &calib, std::span<const uint16_t> table, bool linearised,
                      int position, int pixelCount);

struct PairValue {
    int32_t value = 0;      // measured value [um]
    uint16_t combined = 0;  // combined position, 0..2N with N standing for the middle
};

// The pair's measured value and combined position for the general set's evaluation mode.
PairValue evaluatePair(const ParaGeneral &general, const CalibHeader &ma, const CalibHeader &sl,
                       int32_t umA, int32_t umB, int posA, int posB, int subpixels);

// Hardware tolerance word (1/2048 of the range) of the tolerance switch named by Hardware-Mode;
// 0 where the tolerances come from the parameter set.
uint16_t hardwareTolerance(uint16_t hardwareMode);
