// The evaluation-mode drop-down's effect on both surfaces.
#pragma once
#include <cstdint>

// Applies an evaluation mode as the drop-down does: mode labels and teach entries of both
// surfaces, the set-point controls (modes 2 and 3 enable them and switch set-point mode on) and,
// unless `atStartUp`, the measured-value axis for the graph type (0 pixel, 1 mm). At start-up
// the calibration pop-up's set-point switch is left as it is.
void ApplyEvalMode(uint16_t mode, int graphType, bool atStartUp);
