// The calibration pop-up's two modes: normal (header fields are indicators, the transfer
// controls hidden) and editing (header fields editable, write/read controls shown).
#pragma once
#include <cstdint>

// 0 = editing mode, 1 = normal mode; values above 1 count as 1.
void DimmCalibElements(uint16_t mode);
