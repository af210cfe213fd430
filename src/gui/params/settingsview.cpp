#include "gui/params/settingsview.h"

#include <iterator>

#include "core/calib/identifypair.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// What an evaluation mode shows: labels, distance captions, and which teach entries it uses.
struct EvalModeView {
    const char *mainLabel;
    const char *touchLabel;
    const char *distanceCaption;     // on the calibration pop-up and the touch general panel
    const char *numDistanceCaption;  // on the touch numeric panel
    bool masterTeachDimmed;
    bool slaveTeachDimmed;
};

constexpr EvalModeView kEvalModeViews[] = {
    {"EM: SLAVE", "EVAL-MODE: SLAVE", "VIRT-OFFSET SL", "VI-OFF SL", true, false},
    {"EM: MASTER", "EVAL-MODE: MASTER", "VIRT-OFFSET MA", "VI-OFFS MA", false, true},
    {"EM: WIDTH", "EVAL-MODE: WIDTH", "TOTAL-DISTANCE MA / SL", "DIST M<>S", false, false},
    {"EM: CENTER", "EVAL-MODE: CENTER", "HALF-DISTANCE MA / SL", "DIST/2 M<>S", true, true},
    {"EM: DIFF", "EVAL-MODE: DIFF", "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", false, false},
    {"EM: DIFF", "EVAL-MODE: DIFF", "TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", false, false},
    // Mode 6 comes only from a sensor or a file: evaluated as MASTER, named WIDTH on touch.
    {"EM: MASTER", "EVAL-MODE: WIDTH", "VIRT-OFFSET MA", "VI-OFFS MA", false, true},
};

const EvalModeView &viewOf(uint16_t mode) {
    return mode < std::size(kEvalModeViews) ? kEvalModeViews[mode] : kEvalModeViews[1];
}

void dimTeachEntries(int panel, int pixelEntry, int umEntry, bool dimmed) {
    SetCtrlAttribute(panel, pixelEntry, ATTR_DIMMED, dimmed ? 1 : 0);
    SetCtrlAttribute(panel, umEntry, ATTR_DIMMED, dimmed ? 1 : 0);
}

// The set-point or distance display of the calibration pop-up, the touch general panel and the
// touch numeric panel.
struct DistanceDisplay {
    const int *panel;
    int caption, setpoint, distance;
};
const DistanceDisplay kDistanceDisplays[] = {
    {&pCalib, CALIB_LBL_SETPOINT, CALIB_SETPOINT, CALIB_VIRTOFFS},
    {&pTPara0, TPARA0_LBL_SETPOINT, TPARA0_SETPOINT, TPARA0_VIRTOFFS},
    {&pTNum, TNUM_LBL_SETPOINT, TNUM_SETPOINT, TNUM_VIRTOFFS},
};

}  // namespace

void ShowEvalMode(uint16_t mode, bool touchToo) {
    const EvalModeView &view = viewOf(mode);
    SetCtrlVal(pPA, PANEL_LBL_EVALMODE, view.mainLabel);
    dimTeachEntries(pPara1, PARA1_TEACH_PIX, PARA1_TEACH_UM, view.masterTeachDimmed);
    dimTeachEntries(pPara2, PARA2_TEACH_PIX, PARA2_TEACH_UM, view.slaveTeachDimmed);
    if (!touchToo) return;
    SetCtrlVal(pTGraph, TGRAPH_LBL_EVALMODE, view.touchLabel);
    SetCtrlVal(pTNum, TNUM_LBL_EVALMODE, view.touchLabel);
    dimTeachEntries(pTPara1, TPARA1_TEACH_PIX, TPARA1_TEACH_UM, view.masterTeachDimmed);
    dimTeachEntries(pTPara2, TPARA2_TEACH_PIX, TPARA2_TEACH_UM, view.slaveTeachDimmed);
}

void ActivateSettings(uint16_t mode) {
    DeriveSettings(mode);
    const EvalModeView &view = viewOf(mode);
    const double distance = (mode == 3 ? 0.5 * umVIRTOFFS : double(umVIRTOFFS)) / 1000.0;
    for (const DistanceDisplay &d : kDistanceDisplays) {
        if (para.ge.measurementMode == 1) {  // set-point mode
            SetCtrlVal(*d.panel, d.setpoint, para.ge.umSetpoint / 1000.0);
        } else {
            const bool numeric = d.panel == &pTNum;
            SetCtrlVal(*d.panel, d.caption,
                       numeric ? view.numDistanceCaption : view.distanceCaption);
            SetCtrlVal(*d.panel, d.distance, distance);
        }
    }
    ShowEvalMode(mode, false);
}

void CalcUMThresholds(uint16_t mode) {
    const int dimmed = DeriveThresholds(mode);
    SetCtrlsAttribute(pPA, {PANEL_TOL_UP, PANEL_TOL_LO}, ATTR_DIMMED, dimmed);
}

void DimmButtons(uint16_t dim) {
    const int dimmed = dim > 1 ? 1 : dim;
    SetCtrlsAttribute(pPA, {PANEL_SEND, PANEL_GET, PANEL_VIDEO, PANEL_RUN, PANEL_TEACH},
                      ATTR_DIMMED, dimmed);
    SetCtrlsAttribute(pTSD, {TSD_SEND, TSD_GET, TSD_VIDEO, TSD_RUN, TSD_TEACH}, ATTR_DIMMED,
                      dimmed);
}

void DimmSensorControls(int dim) {
    SetCtrlsAttribute(pPA,
                      {PANEL_RUN, PANEL_VIDEO, PANEL_TEACH, PANEL_RESET, PANEL_SEND, PANEL_GET},
                      ATTR_DIMMED, dim);
    SetCtrlsAttribute(pTSD, {TSD_RUN, TSD_VIDEO, TSD_TEACH, TSD_RESET, TSD_SEND, TSD_GET},
                      ATTR_DIMMED, dim);
    SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, dim);
    SetCtrlAttribute(pTRec, TREC_START, ATTR_DIMMED, dim);
}

void FitNumericSteppers() {
    constexpr int kStepped[][3] = {{TNUM_SETPOINT, TNUM_SETP_UP, TNUM_SETP_DOWN},
                                   {TNUM_TOLPLUS, TNUM_TOLPLUS_UP, TNUM_TOLPLUS_DOWN},
                                   {TNUM_TOLMINUS, TNUM_TOLMINUS_UP, TNUM_TOLMINUS_DOWN}};
    for (const auto &[display, up, down] : kStepped) {
        int shown = 1, dimmed = 0;
        GetCtrlAttribute(pTNum, display, ATTR_VISIBLE, &shown);
        GetCtrlAttribute(pTNum, display, ATTR_DIMMED, &dimmed);
        SetCtrlsAttribute(pTNum, {up, down}, ATTR_DIMMED, !shown || dimmed);
    }
}

void DimmSensorControlsWithoutPair() {
    if (!DeviceAccepted()) DimmSensorControls(1);
}
