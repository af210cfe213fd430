// GET and SEND of the parameter block, one 32-byte set per request: set 0 general, 1 master,
// 2 slave; target RAM or EEPROM (a parameter file needs no sensor traffic).
#pragma once
#include <cstdint>

// Sends set `set` of `para` (order 3 for EEPROM, 1 for any other target). Shows the status on
// the active surface.
void PushSEND(uint16_t target, uint16_t set);

// Fetches set `set` into `para` (order 2 from RAM, 4 from EEPROM; no exchange for the file
// target). After set 2 the block is range-checked and shown on all panels.
void PushGET(uint16_t target, uint16_t set);
