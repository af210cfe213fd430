// RUN and VIDEO on the touch surface: the desktop loops' exchanges and requests, with the
// touch panels, buttons, status line and displays.
#pragma once

// Touch RUN: opens the numeric or the graph view, runs the RUN cycle with the touch displays
// (SEND, GET, TEACH, RESET served; a calibration write waits for a desktop loop), then the
// desktop's STOP routine; the touch surface is left idle, saying how the loop ended.
void PushTSD_RUN();

// Touch VIDEO: opens the video and measured-value panels with every panel toggle off, runs the
// VIDEO cycle drawing the profiles first; ends as touch RUN does, without the desktop's STOP.
void PushTSD_VIDEO();
