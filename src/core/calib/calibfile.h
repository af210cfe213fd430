// Calibration headers and linearisation tables of the pair, and the calibration file
// ("[HEADER]" with six label-TAB-number lines, "[XFLASH]" with the table values) from which an
// operator loads both for one sensor.
#pragma once
#include <cstdint>

#include "core/link/calibheader.h"

constexpr int LIN_TABLE_SIZE = 2048;  // entries of a linearisation table
constexpr int CALIB_PATH_SIZE = 260;

extern uint16_t linArrayA[LIN_TABLE_SIZE];    // master's linearisation table
extern uint16_t linArrayB[LIN_TABLE_SIZE];    // slave's linearisation table
extern int calibfile_flagA, calibfile_flagB;  // 1 = a valid file was read for master / slave
extern char calib_fname[CALIB_PATH_SIZE];     // path of the last chosen calibration file
// The header WRITE sends to the master (0) / slave (1): from a calibration file or the pop-up's
// fields. It becomes that sensor's `calib` header once the sensor has taken it.
extern CalibHeader calibToWrite[2];

// Sets all headers to the default, clears the tables, the file flags and the file name.
void ResetCalibration();

// Reads a calibration file into `header` and `table` (2048 entries): 1 when the whole file was
// valid, else 0 with both left as they were. A 1024-value table leaves entries 1024..2047 zero.
// The header read is the file's, not yet the sensor's: `calib` changes only when a sensor has
// taken it.
int ReadCalibrationFile(const char *path, uint16_t *table, CalibHeader &header);
// The file the table of `sensor` (1 MASTER: linArrayA, 2 SLAVE: linArrayB) was last read from;
// empty when none was.
const char *CalibTableFile(int sensor);

// Why the last ReadCalibrationFile refused its file, naming the line ("line 12: table value 70000
// outside 0..65535"); empty after a valid file.
const char *CalibFileProblem();
