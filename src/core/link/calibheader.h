// The calibration headers of the two sensors: what the identification reads from their flash,
// what the derived settings and the recorder take range and offsets from, and what a header
// write sends.
#pragma once
#include "wire/wire.h"

extern CalibHeader calib[2];  // master's (0) and slave's (1) calibration header

// The header WRITE sends to the master (0) / slave (1) while a calibration file is loaded for it:
// the sensor's own header with the file's six fields. It becomes that sensor's `calib` header
// once the sensor has taken it.
extern CalibHeader calibToWrite[2];
extern int calibfile_flagA, calibfile_flagB;  // 1 = a valid file was read for master / slave

// The header a WRITE of side `index` (0 master, 1 slave) starts from and the calibration pop-up
// shows: the loaded file's while one is loaded for that side, else the sensor's.
const CalibHeader &ShownCalibHeader(int index);

// The header a sensor has until one is read or loaded (type 610407, 10 mm range at 50 mm).
CalibHeader DefaultCalibHeader();
