// The STOP action on the touch surface and the touch main panel's button groups.
#pragma once

// The touch status line's text for a transfer that has stopped.
constexpr const char *TOUCH_STOPPED_TEXT = "RS232 data-transfer stopped!";

// Restores the touch surface's idle look after a loop: buttons enabled, RUN and VIDEO grey,
// exit button shown, measured-value fields in their idle colours and at 0, the touch status
// line "RS232 data-transfer stopped!".
void RestoreTouchIdle();

// The touch buttons as STOP leaves them: RUN, STOP, VIDEO, the sensor and target buttons
// enabled, RUN and VIDEO grey, the exit button shown.
void RestoreTouchButtons();

// The measured-value fields of the numeric and measured-value panels in their idle colours.
void ShowTouchIdleColours();

// What the STOP button's commit does on the touch surface: ends a running loop (stop_flag 1,
// video_flag 0) and restores the idle look.
void StopTouchLoop();

// Dims (1) or enables (0) RUN, STOP, VIDEO, TEACH, RESET and the exit button together; always
// enables GET, SEND and the RAM/EEPROM selectors and colours RUN grey.
void DimmTSD_RUNSTOPVIDEObuttons(int dim);
