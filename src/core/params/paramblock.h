// The parameter block: the pair's general, master and slave parameter sets, which are at the
// same time the sensors' wire image, and the teach record of the last TEACH.
#pragma once
#include <cstdint>

#include "wire/wire.h"

constexpr int PARA_PAGE_SIZE = 32;  // bytes of one set, one page on the wire
constexpr int PARA_PAGES = 3;       // page 0 general, 1 master, 2 slave

extern ParaBlock para;     // the system's single copy of the sensor parameters
extern TeachRecord teach;  // data of the last TEACH reply

// Sets `para` to its start-up defaults and clears `teach`.
void ResetParaBlock();

// Copies page 0..2 of the block into `bytes` (32 bytes): 1, or -1 for another page number.
int GetParaPage(const ParaBlock &block, int page, uint8_t *bytes);
// Overwrites page 0..2 of the block with 32 bytes, as a GET reply does: 1, or -1.
int PutParaPage(ParaBlock &block, int page, const uint8_t *bytes);

// Replaces every field above its limit before the block is shown. The limits of the pixel
// fields depend on the CCD pixel count N, taken as the signed 16-bit value the hardware record
// holds. The slave's baud-rate index is carried unchecked.
void CheckParaRanges(ParaBlock &block, int16_t pixelCount);
