// Calibration headers and linearisation tables of the pair, and the calibration file
// ("[HEADER]" with six label-TAB-number lines, "[XFLASH]" with the table values) from which an
// operator loads both for one sensor.
#pragma once
#include <cstdint>

#include "core/link/calibheader.h"

constexpr int LIN_TABLE_SIZE = 2048;  // entries of a linearisation table
constexpr int CALIB_PATH_SIZE = 260;

extern uint16_t linArrayA[LIN_TABLE_SIZE];  // master's linearisation table
extern uint16_t linArrayB[LIN_TABLE_SIZE];  // slave's linearisation table
extern char calib_fname[CALIB_PATH_SIZE];   // path of the last chosen calibration file

// Sets all headers to the default, clears the tables, the file flags and the file name.
void ResetCalibration();

// Loads a calibration file for `sensor` (1 MASTER, 2 SLAVE): its table into linArrayA or
// linArrayB, its six header fields over the sensor's own header (`calib`) into calibToWrite, so
// that the fields a file does not carry (virtual offset, reserved words) stay the sensor's, and
// the side's file flag. The file belongs to the pair identified last. 1, or 0 with the side's
// file dropped (CalibFileProblem says why).
int LoadCalibrationFile(const char *path, int sensor);
// Notes the pair (its serial number) an identification has just accepted and drops the files
// loaded for another pair, or before any: their headers were made from other sensors'. The sides
// dropped: bit 0 MASTER, bit 1 SLAVE.
unsigned KeepCalibFilesOfPair(int serial);

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
