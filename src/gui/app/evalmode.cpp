#include "gui/app/evalmode.h"

#include "core/link/calibheader.h"
#include "core/link/identity.h"
#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// Axis of one sensor's measuring range, in mm.
void sensorAxis(const CalibHeader &c) {
    YAXISMAX = static_cast<int>((int64_t{c.offset} + 1000 + c.range) / 1000);
    YAXISMIN = c.offset / 1000;
}

}  // namespace

void ApplyEvalMode(uint16_t mode, int graphType, bool atStartUp) {
    ShowEvalMode(mode, true);
    if (mode == 2 || mode == 3) {
        SetCtrlsAttribute(pCalib, {CALIB_SETPOINT, CALIB_MMODE}, ATTR_DIMMED, 0);
        SetCtrlsAttribute(pTPara0, {TPARA0_SETPOINT, TPARA0_MMODE}, ATTR_DIMMED, 0);
        if (!atStartUp) SetCtrlVal(pCalib, CALIB_MMODE, 1);
        SetCtrlVal(pTPara0, TPARA0_MMODE, 1);
    }
    if (atStartUp) return;
    const int axisWord = hwinfo.subpixels;
    switch (mode) {
        case 0:
            sensorAxis(calib[1]);
            break;
        case 2:
            YAXISMAX = 2 * axisWord;
            break;
        case 3:
        case 4:
        case 5:
            YAXISMAX = graphType == 1 ? 2 * axisWord : axisWord;
            break;
        default:
            sensorAxis(calib[0]);
            break;
    }
}
