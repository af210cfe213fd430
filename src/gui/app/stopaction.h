// The STOP button of both main panels: ends a running acquisition and re-enables what it dimmed.
#pragma once

// STOP (left click and key press: stop at once; commit: also re-enable the controls of the
// active surface and, on the touch surface, restore its idle look; right click: its help box).
int CC_BTNStop(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
