// Further run-time operations of the shell: controls made at run time, pictures, the busy
// cursor, the screen size and a picture of a panel.
#pragma once

inline constexpr int CTRL_TEXT_MSG = 1;  // NewCtrl: a text message

// Creates a control of `style` on the panel at (left, top) with its label; returns its id.
int NewCtrl(int panel, int style, const char *label, int top, int left);

// Sizes a text message to its text and font.
int SizeCtrlToText(int panel, int control);

// Shows the picture file in a text-message control: 0, or negative when it cannot be read.
int DisplayImageFile(int panel, int control, const char *path);

// Shows (1) or removes (0) the busy cursor.
int SetWaitCursor(int on);

// Height and width of the primary screen in pixels.
int GetScreenSize(int *height, int *width);

// Saves a PNG picture of the panel as it is drawn now: 0, or negative.
int SavePanelImage(int panel, const char *path);

// Scales what the panel file gives the panel's contents (fonts, the controls' minimum and
// maximum sizes, layout margins and spacing) by `factor` of the design, for a panel shown on a
// larger screen; child panels are left to their own call. Repeated calls do not compound.
int ScalePanelContents(int panel, double factor);

// While `height` is above 0, the field the operator types into on the window of `panel` (an
// entry that is not read-only) is kept above the lower `height` pixels of the screen, where an
// on-screen keyboard lies: the child panel that holds it is lifted as far as needed while the
// field has the focus, and put back when the focus leaves it. A height of 0 ends it.
int KeepFocusAbove(int panel, int height);
