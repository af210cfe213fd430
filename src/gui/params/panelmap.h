// The parameter block on the panels of both surfaces, and the unit conversions between the
// block's micrometres and microseconds and the panels' millimetres and milliseconds.
#pragma once
#include <cstdint>

#include "wire/wire.h"

// Reads the controls of the active surface (tsd_flag) into `para`, without range check, and
// recomputes the derived settings.
void GetPanelValues();

// Corrects out-of-range fields of `para`, writes the block to both surfaces with labels,
// captions and dimming, recomputes the derived settings and redraws threshold lines and axes.
void SetPanelValues();

// Shows the outcome of a GET of set `set` (PushGET's result): once the last set is in the block,
// the block on all panels as SetPanelValues shows it.
void ShowGET(int received, uint16_t set);

// Shows the outcome of a TEACH (PushTEACH's result): after a success the teach cursors of the
// active surface's position graphs at the new positions; the block on all panels either way.
void ShowTEACH(int result);

// Shows a calibration header on side `index` (0 master, 1 slave) of the calibration pop-up.
void ShowCalibHeader(int index, const CalibHeader &h);
// Takes the fields of side `index` of the calibration pop-up into `h`.
void TakeCalibHeader(int index, CalibHeader &h);

// Millimetres shown for a micrometre field read as unsigned 32-bit.
double MmOfUm(int32_t um);
// Micrometres of a millimetre entry, truncated toward zero, as a signed 32-bit value.
int32_t UmOfMm(double mm);
// Micrometres of a millimetre entry, truncated toward zero, as an unsigned 32-bit value.
uint32_t UnsignedUmOfMm(double mm);
// Milliseconds shown for an integration time in microseconds (one decimal).
double MsOfIntTime(uint16_t us);
// Integration time in microseconds of a millisecond entry, in steps of 100 us (low 16 bits).
uint16_t IntTimeOfMs(double ms);
