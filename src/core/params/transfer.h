// GET and SEND of the parameter block, one 32-byte set per request: set 0 general, 1 master,
// 2 slave; target RAM or EEPROM (a parameter file needs no sensor traffic).
#pragma once
#include <cstdint>

// The pause after each SEND, while the sensor takes the set [s].
constexpr double SEND_PAUSE = 0.1;

// Sends set `set` of `para` (order 3 for EEPROM, 1 for any other target): 1 when the sensor
// acknowledged it, else -1. Shows the status on the active surface.
int PushSEND(uint16_t target, uint16_t set);

// Fetches set `set` into `para` (order 2 from RAM, 4 from EEPROM; no exchange for the file
// target, whose sets the parameter file filled): 1 when the set arrived (always for the file
// target), else -1 with `para` unchanged. After set 2 the block is range-checked. Shows the
// status of an exchange on the active surface; the panels show the block (ShowGET).
int PushGET(uint16_t target, uint16_t set);

// GET of the three sets from `target` into `para`, as the program's GET button does: true when
// all three arrived.
bool GetAllSets(int target);

// Both calibration headers into `calib` and the three sets from RAM into `para`: what the
// tolerance of a measured value and a recorder file's header are derived from. True when all
// arrived.
bool ReadEvaluationSettings();
