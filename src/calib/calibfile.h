// Calibration headers and linearisation tables of the pair, and the calibration file
// ("[HEADER]" with six label-TAB-number lines, "[XFLASH]" with the table values) from which an
// operator loads both for one sensor.
#pragma once
#include <cstdint>

#include "link/calibheader.h"

constexpr int LIN_TABLE_SIZE = 2048;  // entries of a linearisation table
constexpr int CALIB_PATH_SIZE = 260;

extern uint16_t linArrayA[LIN_TABLE_SIZE];    // master's linearisation table
extern uint16_t linArrayB[LIN_TABLE_SIZE];    // slave's linearisation table
extern int calibfile_flagA, calibfile_flagB;  // 1 = a valid file was read for master / slave
extern char calib_fname[CALIB_PATH_SIZE];     // path of the last chosen calibration file

// Sets both headers to the default, clears the tables, the file flags and the file name.
void ResetCalibration();

// Reads a calibration file into the header of the master (sensor 1) or the slave (any other
// value) and into `table` (2048 entries): 1 when the whole file was valid, else 0. Header fields
// are stored as they are read, so a later failure keeps them; the table changes only on
// success, and a 1024-value table leaves entries 1024..2047 zero.
int ReadCalibrationFile(const char *path, uint16_t *table, int16_t sensor);
