#include "gui/app/stopaction.h"

#include "core/state/flags.h"
#include "gui/app/maincontrols.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchstop.h"
#include "ktav_panels.h"

namespace {

void desktopStopped() {
    SetCtrlsAttribute(pPA,
                      {PANEL_VIDEO, PANEL_RUN, PANEL_TEACH, PANEL_RESET, PANEL_SEND, PANEL_GET,
                       PANEL_RAM, PANEL_EEPROM},
                      ATTR_DIMMED, 0);
    SetCtrlsAttribute(pRec, {REC_START}, ATTR_DIMMED, 0);
    DimmSensorControlsWithoutPair();
}

}  // namespace

int CC_BTNStop(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
        case EVENT_KEYPRESS:
            stop_flag = STOP_IDLE;
            video_flag = 0;
            break;
        case EVENT_COMMIT:
            stop_flag = STOP_IDLE;
            video_flag = 0;
            if (tsd_flag)
                RestoreTouchIdle();
            else
                desktopStopped();
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}
