#include "gui/calib/pairsetup.h"

#include <iterator>

#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "gui/calib/calibpopup.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// One control with a twin on the other surface.
struct Twin {
    const int *desktopPanel;
    int desktopControl;
    const int *touchPanel;
    int touchControl;
};

// Reads the active surface's control of `twin` and writes the value into both.
template <typename T>
T mirror(const Twin &twin) {
    T value{};
    if (tsd_flag)
        GetCtrlVal(*twin.touchPanel, twin.touchControl, &value);
    else
        GetCtrlVal(*twin.desktopPanel, twin.desktopControl, &value);
    SetCtrlVal(*twin.desktopPanel, twin.desktopControl, value);
    SetCtrlVal(*twin.touchPanel, twin.touchControl, value);
    return value;
}

const Twin kTolUp{&pPA, PANEL_TOL_UP, &pTPara0, TPARA0_TOL_UP};
const Twin kTolLo{&pPA, PANEL_TOL_LO, &pTPara0, TPARA0_TOL_LO};
const Twin kTeachA{&pPara1, PARA1_TEACH_PIX, &pTPara1, TPARA1_TEACH_PIX};
const Twin kTeachB{&pPara2, PARA2_TEACH_PIX, &pTPara2, TPARA2_TEACH_PIX};
const Twin kSetpointSwitch{&pCalib, CALIB_MMODE, &pTPara0, TPARA0_MMODE};

int tolerance(const Twin &twin, int panel, int control, int event, const char *help) {
    if (event == EVENT_VAL_CHANGED) mirror<double>(twin);
    if (event == EVENT_RIGHT_CLICK && panel == pPA) {
        int top = 0, left = 0, height = 0, width = 0;
        GetCtrlBoundingRect(panel, control, &top, &left, &height, &width);
        ToggleHelpBox(panel, PANEL_HELP_BTN, control, width + 10, -20, help);
    }
    return 0;
}

// ---- power modes ----

// One sensor's power-mode controls on both surfaces.
struct PowerControls {
    Twin mode, power, intTime;
    const char *label[3];       // main panel: static, dynamic, exposure
    const char *touchLabel[3];  // touch graph and numeric sub-panels
    int mainLabel, graphLabel, numLabel;
};

const PowerControls kPowerA{{&pPara1, PARA1_PMODE, &pTPara1, TPARA1_PMODE},
                            {&pPara1, PARA1_POWER, &pTPara1, TPARA1_POWER},
                            {&pPara1, PARA1_INTTIME, &pTPara1, TPARA1_INTTIME},
                            {"PM: STA", "PM: DYN", "PM: EXP"},
                            {"POW-MODE: STA", "POW-MODE: DYN", "POW-MODE: EXPOSE"},
                            PANEL_LBL_PMODE_MA,
                            TGRAPH_LBL_PMODE_MA,
                            TNUM_LBL_PMODE_MA};
const PowerControls kPowerB{{&pPara2, PARA2_PMODE, &pTPara2, TPARA2_PMODE},
                            {&pPara2, PARA2_POWER, &pTPara2, TPARA2_POWER},
                            {&pPara2, PARA2_INTTIME, &pTPara2, TPARA2_INTTIME},
                            {"/ STA", "/ DYN", "/ EXP"},
                            {"/ STA", "/ DYN", "/ EXP"},
                            PANEL_LBL_PMODE_SL,
                            TGRAPH_LBL_PMODE_SL,
                            TNUM_LBL_PMODE_SL};

constexpr int DYNAMIC = 1, EXPOSURE = 2, STATIC = 0;

void dimBoth(const Twin &twin, bool dimmed) {
    SetCtrlAttribute(*twin.desktopPanel, twin.desktopControl, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(*twin.touchPanel, twin.touchControl, ATTR_DIMMED, dimmed);
}

int powerMode(const PowerControls &own, const PowerControls &other, bool isMaster) {
    const int mode = mirror<int>(own.mode);
    const int kind = mode == DYNAMIC || mode == EXPOSURE ? mode : STATIC;
    dimBoth(own.power, kind == DYNAMIC);
    dimBoth(own.intTime, kind == EXPOSURE);
    SetCtrlVal(pPA, own.mainLabel, own.label[kind]);
    SetCtrlVal(pTGraph, own.graphLabel, own.touchLabel[kind]);
    SetCtrlVal(pTNum, own.numLabel, own.touchLabel[kind]);
    // The two-line hardware exposes both lines together: the slave's integration time is used
    // only while the master works dynamically and the slave in exposure mode.
    if (HWTYPE == 22) {
        if (isMaster && kind != DYNAMIC) dimBoth(other.intTime, true);
        if (!isMaster && kind != EXPOSURE) dimBoth(own.intTime, true);
        if (!isMaster && kind == EXPOSURE) dimBoth(other.intTime, true);
    }
    return 0;
}

// ---- set-point/absolute switch ----

struct DistanceCaption {
    const char *popup, *touchNumeric;
    double share;  // of the pair's virtual offset
};

DistanceCaption distanceCaption(int evalMode) {
    switch (evalMode) {
        case 0:
            return {"VIRT-OFFSET SL", "VI-OFFS SL", 1.0};
        case 2:
            return {"TOTAL-DISTANCE MA / SL", "DIST M<>S", 1.0};
        case 3:
            return {"HALF-DISTANCE MA / SL", "DIST/2 M<>S", 0.5};
        case 4:
        case 5:
            return {"TOTAL-DIFFERENCE MA / SL", "DIFF M<>S", 1.0};
        default:
            return {"VIRT-OFFSET MA", "VI-OFFS MA", 1.0};
    }
}

// The set-point entry and the distance display of each place that shows one of them.
struct SetpointPlace {
    const int *panel;
    int caption, setpoint, distance;
};
const SetpointPlace kSetpointPlaces[] = {
    {&pCalib, CALIB_LBL_SETPOINT, CALIB_SETPOINT, CALIB_VIRTOFFS},
    {&pTPara0, TPARA0_LBL_SETPOINT, TPARA0_SETPOINT, TPARA0_VIRTOFFS},
    {&pTNum, TNUM_LBL_SETPOINT, TNUM_SETPOINT, TNUM_VIRTOFFS},
};

void showSetpointOrDistance(bool setpoint) {
    const DistanceCaption distance = distanceCaption(para.ge.evalMode);
    for (const SetpointPlace &p : kSetpointPlaces) {
        const bool numeric = p.panel == &pTNum;
        const char *caption = setpoint ? (numeric ? "SETPOINT" : "SETPOINT-VALUE")
                                       : (numeric ? distance.touchNumeric : distance.popup);
        SetCtrlVal(*p.panel, p.caption, caption);
        SetCtrlAttribute(*p.panel, p.setpoint, ATTR_VISIBLE, setpoint);
        SetCtrlAttribute(*p.panel, p.distance, ATTR_VISIBLE, !setpoint);
        if (setpoint)
            SetCtrlVal(*p.panel, p.setpoint, para.ge.umSetpoint / 1000.0);
        else
            SetCtrlVal(*p.panel, p.distance, umVIRTOFFS * distance.share / 1000.0);
    }
    FitNumericSteppers();
}

// ---- master/slave switch ----

constexpr int kMasterFields[] = {CALIB_TYPE_A,  CALIB_P1_A,     CALIB_P2_A,     CALIB_TABLEN_A,
                                 CALIB_RANGE_A, CALIB_OFFSET_A, CALIB_VIRTOFF_A};
constexpr int kSlaveFields[] = {CALIB_TYPE_B,  CALIB_P1_B,     CALIB_P2_B,     CALIB_TABLEN_B,
                                CALIB_RANGE_B, CALIB_OFFSET_B, CALIB_VIRTOFF_B};

void showSide(const int (&fields)[std::size(kMasterFields)], bool visible) {
    for (int control : fields) SetCtrlAttribute(pCalib, control, ATTR_VISIBLE, visible);
}

}  // namespace

int CC_NUMToleranceUP(int panel, int control, int event, void *, int, int) {
    return tolerance(kTolUp, panel, control, event,
                     "TOLERANCE-UP:\nNumerical input field to preset the upper\ntolerance limit "
                     "in [pixel] at the hardware.");
}

int CC_NUMToleranceLO(int panel, int control, int event, void *, int, int) {
    return tolerance(kTolLo, panel, control, event,
                     "TOLERANCE-LO:\nNumerical input field to preset the lower\ntolerance limit "
                     "in [pixel] at the hardware.");
}

int CC_NUMTeachA(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) mirror<unsigned short>(kTeachA);
    return 0;
}

int CC_NUMTeachB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) mirror<unsigned short>(kTeachB);
    return 0;
}

int CC_DROPpmodeA(int, int, int event, void *, int, int) {
    return event == EVENT_COMMIT ? powerMode(kPowerA, kPowerB, true) : 0;
}

int CC_DROPpmodeB(int, int, int event, void *, int, int) {
    return event == EVENT_COMMIT ? powerMode(kPowerB, kPowerA, false) : 0;
}

int CC_DROPedmodeA(int, int, int, void *, int, int) {
    return 0;
}

int CC_DROPedmodeB(int, int, int, void *, int, int) {
    return 0;
}

int CC_BINSWmasterslave(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int master = 1;
    GetCtrlVal(pCalib, CALIB_MASL, &master);
    showSide(kMasterFields, master == 1);
    showSide(kSlaveFields, master != 1);
    masl_flag = master == 1 ? 1 : 2;
    return 0;
}

int CC_BINSWmMode(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) showSetpointOrDistance(mirror<int>(kSetpointSwitch) == 1);
    return 0;
}

int CC_TBOXCalibration(int, int, int event, void *, int, int) {
    if (event != EVENT_RIGHT_DOUBLE_CLICK) return 0;
    DimmCalibElements(dclick_flag == 0 ? 0 : 1);
    dclick_flag = dclick_flag == 0 ? 1 : 0;
    return 0;
}

int CC_TBOXinfo(int, int, int event, void *, int, int) {
    if (event != EVENT_RIGHT_DOUBLE_CLICK) return 0;
    SetCtrlAttribute(pCalib, CALIB_LINMODE, ATTR_VISIBLE, dclick_flag == 0);
    dclick_flag = dclick_flag == 0 ? 1 : 0;
    return 0;
}
