// The type-code table of the hardware selection: the calibration header values and the
// hardware type that a calibration type code stands for.
#pragma once
#include <cstdint>

struct HardwareDefaults {
    int32_t offset;       // start of the measuring range [um]
    int32_t range;        // measuring range [um]
    int32_t virtOffset;   // virtual offset [um]
    int16_t tableLength;  // linearisation values
    int16_t param2;       // second calibration parameter word
    uint16_t hwType;      // HWTYPE when the code is selected for the master
};

// Defaults of a type code; codes not in the table give 35 mm offset, 4 mm range, HWTYPE 0.
HardwareDefaults HardwareDefaultsOfCode(int32_t code);
