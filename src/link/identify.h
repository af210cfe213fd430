// Identification of the sensor pair: the hardware record and what is derived from it.
#pragma once
#include "link/wire.h"

extern HwInfo hwinfo;  // hardware record, reply to order 10; serialno also from orders 5 and 7

// Sets the hardware record to its start-up defaults (pixel count 1024, subpixels 4096).
void ResetHwInfo();
