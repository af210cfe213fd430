// Displays draw their value themselves. A measuring loop gives them a new value on most repaints:
// a number (measured values, and the live power and integration time in the parameter entries),
// or one of a few status texts in turn. Set on the widget, each value would be laid out as text
// by the line edit, and laid out again on every paint. A display instead keeps its value here
// and paints it exactly where and as the line edit would: a number from glyphs looked up once
// per character and font, a text from a layout kept for the few texts shown last. The widget
// takes the value only when something else needs it: the operator acting on the display
// (focus, a click, the wheel), a change of its attributes, or a value it cannot draw this way.
//
// What it buys, measured with the benchmark's RUN CPU figure (Release, replies after 20 ms, runs
// of the program alternated, medians, on a loaded machine): 2.17 % of a core against 2.92 % with
// the painter off (KTAV_DISPLAY_PAINTER=0), 8 pairs. Repainting only the changed characters of a
// status text saved 0.09 % more, within the spread of 20 pairs, and was taken out: a display
// repaints its whole field.
#pragma once

#include <QString>

#include "gui/runtime/panelset.h"

class QWidget;

// Shows `value` on a spin box as the box would show it: rounded to its decimals and kept within
// its range. False when the display cannot draw it itself (the operator has focused it, or its
// text has a character without a plain glyph); the caller then sets the spin box.
bool DrawNumber(QWidget *box, CtrlKind kind, double value);

// Shows `text` on a read-only line edit; false when the display cannot draw it itself (focus,
// control characters, a text wider than the field), and the caller sets the line edit.
bool DrawText(QWidget *edit, const QString &text);

// The value a display draws while its widget still holds an older one; nullptr otherwise.
const double *DrawnNumber(const QWidget *box);
const QString *DrawnText(const QWidget *edit);

// Gives the widget the value its display draws, and lets it draw itself again.
void SettleDisplay(QWidget *widget);
