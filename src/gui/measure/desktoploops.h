// RUN and VIDEO on the desktop main panel: the loops of the core (RunCycles, VideoCycles) drawn
// on the desktop's displays, and the end of a loop.
#pragma once

// The RUN loop; ends with PushSTOP.
void PushRUN();

// The VIDEO loop; ends with PushSTOP.
void PushVIDEO();

// Re-enables the main panel's command buttons and shows how the transfer ended.
void PushSTOP();
