// RUN and VIDEO on the touch surface: the desktop loops' exchanges and requests, with the
// touch panels, buttons, status line and displays.
#pragma once

// Touch RUN: opens the numeric or the graph view, runs the RUN cycle with the touch displays
// (SEND, GET, TEACH, RESET served; a calibration write waits for a desktop loop), then the
// desktop's STOP routine.
void PushTSD_RUN();

// Touch VIDEO: opens the video and measured-value panels with every panel toggle off, runs the
// VIDEO cycle drawing the profiles first; its touch buttons stay as they are until STOP.
void PushTSD_VIDEO();
