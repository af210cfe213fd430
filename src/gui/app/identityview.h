// Identification of the sensor pair on the panels: runs the device side (IdentifyPair) and shows
// its outcome: pop-ups of a refused device, message boxes of the connection dialogs, the
// hardware text box, limits, rings and dimming from the hardware record, calibration headers
// and parameter sets.
#pragma once
#include "core/calib/identifypair.h"
#include "core/link/identity.h"

// Identifies the device on the open transport and shows the outcome: 1 when it answered the
// echo and was identified (also a device of another series, buttons dimmed), 0 when
// identification stopped. Always ends by showing the status text on all four status fields.
int InitDataExchange();

// Shows on the panels what GetHARDWAREInfo took from the hardware record: the hardware text box,
// the video axes, the CCD read-out and evaluation rings, precisions and integration-time limits.
void applyHardwareInfo();

// Shows an identification's outcome on the panels.
void ShowIdentification(const Identification &result);

// Identifies a lost pair again, its steps in the connection boxes: a device that answers is
// shown as InitDataExchange shows it; one that does not is shown nothing more, since the
// reconnection tries again. The verdict.
Identified IdentifyLostPair();
