// Internal state of the user-interface run-time shared by its operations: the loaded panels,
// their controls and callbacks, and the dispatch of events to the callbacks.
#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstddef>
#include <map>
#include <memory>

#include "gui/runtime/panelset.h"
#include "gui/runtime/userint.h"

class QComboBox;
class QMessageBox;
class QWidget;

struct Control {
    QWidget *widget;
    CtrlKind kind;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
};

struct Panel {
    QWidget *widget;
    std::map<int, Control> controls;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    bool sizing = false;  // set while the program itself resizes the panel: no resize event
    QSize design;         // a top-level panel placed by positions: its size in the panel file,
    double scale = 1.0;   // the scale it is shown at in a smaller window,
    QPoint offset;        // and where its scaled contents start in that window (scale.cpp)
};

// The panel or control of a handle and id; nullptr when there is none.
Panel *FindPanel(int panel);
Control *FindCtrl(int panel, int control);

// Warns about a failed FindPanel or FindCtrl and gives its code, UIE_BAD_PANEL or
// UIE_BAD_CONTROL; control 0 stands for a panel lookup.
int LookupError(const char *operation, int panel, int control = 0);

// The widget of a control of one kind; nullptr with *error set (a bad panel or control, or
// UIE_NOT_SUPPORTED for a control of another kind).
QWidget *FindCtrlOfKind(int panel, int control, CtrlKind kind, const char *operation, int *error);

// Calls the callback bound to the control (0: the panel) if there is one.
void Dispatch(int panel, int control, int event, int eventData1 = 0, int eventData2 = 0);

// The property of a text message sized to its text (SizeCtrlToText).
inline constexpr const char *kSizedToText = "sizedToText";

// The bool property, set in the panel file, of a line edit that shows a path: a path wider than
// the field shows its folders shortened in the middle and its file name whole
// ("/home/…/XF-LINEAR.DAT"), and the whole path as its tool tip. The control's value stays the
// whole path.
inline constexpr const char *kElideMiddle = "elideMiddle";
// Shows a marked line edit's whole text again at its present width (after a resize).
void ElideAgain(QWidget *edit);

// The message or question box of MessagePopup and ConfirmPopup over `parent`, sized for a
// finger over a panel given a pop-up target (SetPopupTarget).
std::unique_ptr<QMessageBox> PopupBox(QWidget *parent, bool question, const char *title,
                                      const char *message);

// Shows a top-level panel whole in its window: in a window smaller than its design, scaled down
// as a whole to fit (scale.cpp).
void FitToWindow(Panel &panel);

// Turns the Qt input of a freshly loaded panel into events (events.cpp).
void ConnectEvents(int handle, Panel &panel);

// Text of the program (UTF-8) as a QString, and back into a caller's buffer: cut to fit at a
// character boundary and always terminated; UIE_BAD_VALUE for a missing buffer.
QString Text(const char *text);
int CopyText(const QString &text, char *out, std::size_t size);

// Puts a number on a spin box (rounded to its decimals) or a text on a line edit, without a
// value-changed event; one already showing it is left alone, since setting it again would lay
// its text out anew (one the operator is editing is always set). A display that can draws the
// value itself (displaypaint.h); the widget is set otherwise.
void PutNumber(QWidget *box, CtrlKind kind, double value);
void PutText(QWidget *edit, const QString &text);
// A number as a spin box keeps it: whole or rounded to its decimals, within its range.
double KeptNumber(const QWidget *box, CtrlKind kind, double value);
// Whether the control already shows that number or text as PutNumber and PutText would put it.
bool ShowsNumber(const QWidget *box, CtrlKind kind, double value);
bool ShowsText(const QWidget *edit, const QString &text);

// Colours of the program (0xRRGGBB) and Qt's.
QColor Rgb(int color);
int RgbOf(const QColor &color);

// The value of a ring item: its int data when set, else its index.
int ItemValue(const QComboBox *combo, int index);
