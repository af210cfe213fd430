// Values derived from the parameter block and the two calibration headers for the displays:
// nominal value, measuring range, virtual offset, tolerance thresholds and axis limits.
// All arithmetic is 32-bit signed with truncating division, as the sensors compute it.
#pragma once
#include <cstdint>

extern int umTeach;     // nominal value [um]: the set-point in set-point mode
extern int umRange;     // measuring range of the evaluated sensor, or of the pair [um]
extern int umRangeA;    // master's range (CENTER and DIFF modes) [um]
extern int umRangeB;    // slave's range (CENTER and DIFF modes) [um]
extern int umVIRTOFFS;  // virtual offset of the evaluated sensor or of the pair [um]
extern int umupTHD;     // upper tolerance threshold [um]
extern int umloTHD;     // lower tolerance threshold [um]

// Range, virtual offset and nominal value for evaluation mode `mode` (outside 0..5 as 1).
void DeriveSettings(uint16_t mode);

// Tolerances, nominal value in set-point mode, axis limits YAXISMAX/YAXISMIN and the two
// thresholds for evaluation mode `mode`. Returns 1 when the tolerances come from the sensor
// hardware (Hardware-Mode other than 0 and 2), else 0.
int DeriveThresholds(uint16_t mode);
