// The touch surface on the screen: full-screen, its design (800 x 480) scaled with the screen,
// and the sub-panels fitted to the view region beside the button column.
#pragma once

// The design's scale on a screen of that size: the smaller of the two ratios, at least 1.
double TouchScale(int screenHeight, int screenWidth);

// Shows the touch main panel full-screen and fits its sub-panels to it.
void ShowTouchSurface();
