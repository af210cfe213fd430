// The derived settings on the panels: set-point or distance displays, evaluation-mode labels,
// teach-entry and tolerance-entry dimming, and the dimming of the sensor command buttons.
#pragma once
#include <cstdint>

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
