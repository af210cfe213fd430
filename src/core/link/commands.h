// Single-shot sensor commands and the records they fill.
#pragma once
#include <cstdint>

#include "wire/wire.h"

extern RawRecord raw;        // last measurement data record (order 8)
extern uint16_t adbuf[256];  // last video profiles: 128 MASTER values, then 128 SLAVE values

// Fetches one measurement record into `raw`: 1, or -1 (and stop_flag = STOP_IDLE) on failure.
int GetRAW();
// Fetches the two video profiles into `adbuf`: 1, or -1 (and stop_flag = STOP_IDLE) on failure.
int GetDATA(uint16_t param);
// The sensor operations that change the sensor record themselves in the audit log and send
// nothing when it cannot be written (core/link/sensorchange.h).

// RESET of the sensors' max/min outputs: 0, or -1 on failure. Shows the status.
int PushRESET();
// Saves the MASTER / SLAVE video threshold to the sensor's EEPROM: 0 or -1. Shows the status.
int WriteVideoDataToEE_A(uint16_t value);
int WriteVideoDataToEE_B(uint16_t value);
// Order 190: the sensor takes the RS-232 speed of index `toIndex` (0..4) after its reply, at the
// old speed of `fromIndex`. 1, or -1 with the status text "Timeout: changing RS-232-baudrate..."
// (or why the audit log refused it); the status text is left for the caller to show.
int PushBAUDRATE(int fromIndex, int toIndex);
