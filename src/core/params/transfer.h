// GET and SEND of the parameter block, one 32-byte set per request: set 0 general, 1 master,
// 2 slave; target RAM or EEPROM (a parameter file needs no sensor traffic).
#pragma once
#include <cstdint>

#include "wire/wire.h"
// The pause after each SEND, while the sensor takes the set [s].
constexpr double SEND_PAUSE = 0.1;

// Sends set `set` of `para` (order 3 for EEPROM, 1 for any other target): 1 when the sensor
// acknowledged it, else -1. Shows the status on the active surface. A single set, not recorded
// in the audit log: the fronts send with SendParaSets.
int PushSEND(uint16_t target, uint16_t set);

// SEND of the three sets in their order, waiting `pause` seconds after each: 1 when the sensor
// acknowledged all three, else -1. Recorded in the audit log as one change (every field that
// differs from the sensor's set as last known, per set, with its old and new value) before the
// sets' status texts are shown; nothing is sent when the log cannot be written.
int SendParaSets(uint16_t target, double pause);

// Fetches set `set` into `para` (order 2 from RAM, 4 from EEPROM; no exchange for the file
// target, whose sets the parameter file filled): 1 when the set arrived (always for the file
// target), else -1 with `para` unchanged. After set 2 the block is range-checked. Shows the
// status of an exchange on the active surface; the panels show the block (ShowGET).
int PushGET(uint16_t target, uint16_t set);

// The sensor's set `set` in RAM or EEPROM as last received or acknowledged, into `page` (32
// bytes): false when it is not known since the pair was last identified.
bool KnownSensorSet(uint16_t target, uint16_t set, uint8_t *page);
// The sensor's RAM sets as known take the teach values of a TEACH, as the sensor's do.
void NoteTaught(const TeachRecord &taught);
// Forgets the known sets: another pair may answer now.
void ForgetSensorSets();
// GET of the three sets from `target` into `para`, as the program's GET button does: true when
// all three arrived.
bool GetAllSets(int target);

// Both calibration headers into `calib` and the three sets from RAM into `para`: what the
// tolerance of a measured value and a recorder file's header are derived from. True when all
// arrived, each read tried once more at once when its reply failed.
bool ReadEvaluationSettings();
