#include "calib/calibpopup.h"

#include "ktav_panels.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"

void DimmCalibElements(uint16_t mode) {
    const bool normal = mode >= 1;
    SetCtrlsAttribute(pCalib, {CALIB_WRITE, CALIB_READ, CALIB_WRHEADER, CALIB_WRTABLE},
                      ATTR_VISIBLE, normal ? 0 : 1);
    SetCtrlsAttribute(pCalib, {CALIB_SETPOINT, CALIB_MMODE}, ATTR_DIMMED, normal ? 0 : 1);
    SetCtrlsAttribute(pPA, {PANEL_SEND, PANEL_GET}, ATTR_DIMMED, normal ? 0 : 1);
    for (int control : {CALIB_TYPE_A, CALIB_P1_A, CALIB_P2_A, CALIB_TABLEN_A, CALIB_RANGE_A,
                        CALIB_OFFSET_A, CALIB_VIRTOFF_A, CALIB_TYPE_B, CALIB_P1_B, CALIB_P2_B,
                        CALIB_TABLEN_B, CALIB_RANGE_B, CALIB_OFFSET_B, CALIB_VIRTOFF_B}) {
        SetCtrlAttribute(pCalib, control, ATTR_CTRL_MODE, normal ? VAL_INDICATOR : VAL_HOT);
        SetCtrlAttribute(pCalib, control, ATTR_TEXT_BGCOLOR, normal ? 0xE0E0E0 : 0xFFFFFF);
    }
    SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
}
