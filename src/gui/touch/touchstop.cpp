#include "gui/touch/touchstop.h"

#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

constexpr int kIdleGrey = 0xE0E0E0;

}  // namespace

void RestoreTouchButtons() {
    SetCtrlsAttribute(pTSD,
                      {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_GET, TSD_SEND,
                       TSD_RAM, TSD_EEPROM, TSD_EXIT},
                      ATTR_DIMMED, 0);
    SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTSD, TSD_VIDEO, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 1);
    DimmSensorControlsWithoutPair();
}

void ShowTouchIdleColours() {
    SetCtrlAttribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR, 0x484848);
    SetCtrlAttribute(pTMval, TMVAL_MEASVALUE, ATTR_TEXT_BGCOLOR, 0xA0A0A0);
}

void RestoreTouchIdle() {
    RestoreTouchButtons();
    ShowTouchIdleColours();
    for (int control : {TNUM_MEASVALUE, TNUM_VALUE_ANA1, TNUM_VALUE_ANA23})
        SetCtrlVal(pTNum, control, 0.0);
    for (int control : {TGRAPH_LED_INTOL, TGRAPH_LED_ABOVE, TGRAPH_LED_BELOW})
        SetCtrlVal(pTGraph, control, 0);
    SetCtrlVal(pTSD, TSD_STATUS, TOUCH_STOPPED_TEXT);
}

void StopTouchLoop() {
    stop_flag = STOP_IDLE;
    video_flag = 0;
    RestoreTouchIdle();
}

void DimmTSD_RUNSTOPVIDEObuttons(int dim) {
    SetCtrlsAttribute(pTSD, {TSD_RUN, TSD_STOP, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_EXIT},
                      ATTR_DIMMED, dim);
    SetCtrlsAttribute(pTSD, {TSD_GET, TSD_SEND, TSD_RAM, TSD_EEPROM}, ATTR_DIMMED, 0);
    SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kIdleGrey);
    DimmSensorControlsWithoutPair();
}
