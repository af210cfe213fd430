// Plain frames draw only their border around their contents. When a display inside one
// changes, the display's region is repainted from the frame up, and the style draws the frame's
// whole border, antialiased curves and all, only for the clip to discard it. A frame's paint
// that does not reach its border is skipped.
#pragma once

class QWidget;

// Skips such paints for the plain frames within `panel`.
void SkipInnerFramePaints(QWidget *panel);
