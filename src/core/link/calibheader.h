// The calibration headers of the two sensors: what the identification reads from their flash,
// what the derived settings and the recorder take range and offsets from, and what a header
// write sends.
#pragma once
#include "wire/wire.h"

extern CalibHeader calib[2];  // master's (0) and slave's (1) calibration header

// The header a sensor has until one is read or loaded (type 610407, 10 mm range at 50 mm).
CalibHeader DefaultCalibHeader();
