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

// Derives range, virtual offset and nominal value for evaluation mode `mode` and shows the
// set-point or distance with its caption, the teach-entry dimming and the mode label.
void ActivateSettings(uint16_t mode);

// Derives tolerances, thresholds and axis limits for evaluation mode `mode` and enables or dims
// the main panel's tolerance entries by their source.
void CalcUMThresholds(uint16_t mode);

// Dims (1, or any value above) or enables (0) the SEND, GET, VIDEO, RUN and TEACH buttons of
// both main panels.
void DimmButtons(uint16_t dim);

// Writes the evaluation-mode label of the main panel and dims the teach entries of the master
// and slave pop-ups as mode `mode` uses them; with `touchToo` also the touch labels and entries.
void ShowEvalMode(uint16_t mode, bool touchToo);
