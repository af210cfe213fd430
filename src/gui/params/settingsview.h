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

// Dims (1) or enables (0) the controls that talk to the sensor pair on both surfaces: RUN,
// VIDEO, TEACH, RESET, SEND, GET and both recorders' START.
void DimmSensorControls(int dim);

// Dims the sensor controls again while no accepted pair is behind the link (none identified,
// a failed start-up or identification, DISCONNECT, DISCARD, a pair lost): called wherever
// controls are enabled for the operator (STOP, a touch view, a recorder's STOP, a loop's end).
void DimmSensorControlsWithoutPair();

// The touch numeric panel's steppers step only a value the operator may change: with its display
// hidden (the distance shown in the set-point's place) or dimmed (tolerances set at the housing)
// they have nothing to step and are dimmed.
void FitNumericSteppers();

// Writes the evaluation-mode label of the main panel and dims the teach entries of the master
// and slave pop-ups as mode `mode` uses them; with `touchToo` also the touch labels and entries.
void ShowEvalMode(uint16_t mode, bool touchToo);
