// The calibration pop-up: choosing a calibration file, writing header and table into the
// sensors' flash, reading both headers back, the linearisation drop-down and the pop-up's two
// modes (normal: header fields are indicators, the transfer controls hidden; editing: header
// fields editable, write and read controls shown).
#pragma once
#include <cstdint>

#include "wire/wire.h"

// 0 = editing mode, 1 = normal mode; values above 1 count as 1.
void DimmCalibElements(uint16_t mode);

// Asks for a calibration file (the path goes to `path`, 260 characters, empty when cancelled)
// and loads it for `sensor` (LoadCalibrationFile): 1 when the whole file was read, 0 otherwise
// (a cancelled dialog too) with that side's file dropped.
int ReadCalibrationDataFromFile(char *path, int sensor);

// LOAD FILE... (commit): a file for the side of the master/slave switch; its header is shown on
// that side and written by WRITE until another file is loaded or another pair is identified; a
// refused file's line and fault go to the status line.
int CC_PICBTNSelectCalibFile(int panel, int control, int event, void *callbackData, int eventData1,
                             int eventData2);

// WRITE (commit): the header, then the table of the switch's side, as the check boxes say.
// A running desktop loop writes the header, as it was at the press, between its exchanges; a
// touch loop or a recording refuses it, and a table is refused while anything runs.
int CC_BTNWriteCalibXF(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);

// READ (commit): both sensors' headers onto their sides; one failure does not stop the other.
int CC_BTNReadCalibXF(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);

// Linearisation drop-down: left click explains the selection, commit switches the pair.
int CC_DROPlinearization(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);

// The virtual-offset buttons have no action.
int CC_BTNWriteVirtOffsetToEE(int panel, int control, int event, void *callbackData, int eventData1,
                              int eventData2);
int CC_BTNReadVirtOffsetFromEE(int panel, int control, int event, void *callbackData,
                               int eventData1, int eventData2);
