// Values of the read-only displays (numeric indicators and text fields the operator cannot
// edit) wait for their window's next repaint. A measuring loop sets them on every cycle, more
// often than the window repaints; laying each value's text out would be paid for values nobody
// sees. The last value set is what the program reads back and what the next repaint shows.
#pragma once

#include <QString>

#include "gui/runtime/panelset.h"

class QWidget;

// Keeps `number` for an indicator spin box; false when the widget is no indicator, and the
// caller sets it at once.
bool DeferNumber(QWidget *widget, CtrlKind kind, double number);

// Keeps `text` for a read-only line edit; false when the widget is no indicator.
bool DeferText(QWidget *widget, CtrlKind kind, const QString &text);

// The value waiting for the widget, if any.
const double *PendingNumber(const QWidget *widget);
const QString *PendingText(const QWidget *widget);

// Puts the waiting values of the window's displays (nullptr: of every window) on the widgets.
void ShowPendingValues(const QWidget *window);
