// The on-screen keyboard of the touch surface: an outside program ("onboard", or the command
// in the environment variable KTAV_KEYBOARD), started and ended by the KEYBOARD toggle. It
// takes the lower part of the screen (onboard is placed there); while it is up, the field
// being typed into on the touch surface is kept above it.
#pragma once

extern int pKeyboard;  // handle of the running keyboard program; 0 when none was started

// Height of the lower part of a screen of that height that the keyboard takes: two fifths.
int KeyboardHeight(int screenHeight);

// KEYBOARD toggle (value changed): on starts the keyboard (or takes over the one still
// running since an earlier touch session), off ends it by its handle. A start that fails is
// told in the touch status line with its cause, and the toggle goes off again, as it does when
// the keyboard program ends by itself (a failure then tells why: "needs a D-Bus session", or
// the program's own last message).
int CC_TTOGG_Keyboard(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
