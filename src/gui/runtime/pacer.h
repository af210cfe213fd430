// Paces the repaints of the panel windows: at most a fixed number per second per window, so that
// a measuring loop that changes its displays on every cycle does not spend its time painting.
// A change shown in between is painted with the next allowed repaint; the values waiting for
// the window's displays (indicators.h) are put on them just before.
#pragma once

// The panels' rate: smooth to the eye; a fast loop does not paint more.
constexpr int kRepaintsPerSecond = 20;

// Installs the pacer once; later calls only change the rate.
void PaceRepaints(int maxPerSecond);
