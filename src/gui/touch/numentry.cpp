#include "gui/touch/numentry.h"

#include <algorithm>
#include <limits>

#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

constexpr double kNoLimit = -std::numeric_limits<double>::infinity();

// A value of the numeric panel with its markers, steppers and the fields of other panels that
// show the same parameter.
struct SteppedValue {
    int display;
    int markers[6];  // 100 mm … 1 um
    int up, down;
    struct Copy {
        int *panel;
        int control;
    } copies[2];
    double lowest;  // a step below it gives the limit itself
    // A parameter's field dimmed is not the operator's to step; the measured value's field is
    // dimmed when what it shows is not current, and it steps from that.
    bool parameter = true;
};

const SteppedValue kMeasuredValue{TNUM_MEASVALUE,
                                  {TNUM_MVAL_D100MM, TNUM_MVAL_D10MM, TNUM_MVAL_D1MM,
                                   TNUM_MVAL_D100UM, TNUM_MVAL_D10UM, TNUM_MVAL_D1UM},
                                  TNUM_MVAL_UP,
                                  TNUM_MVAL_DOWN,
                                  {},
                                  kNoLimit,
                                  false};
const SteppedValue kSetpoint{TNUM_SETPOINT,
                             {TNUM_SETP_D100MM, TNUM_SETP_D10MM, TNUM_SETP_D1MM, TNUM_SETP_D100UM,
                              TNUM_SETP_D10UM, TNUM_SETP_D1UM},
                             TNUM_SETP_UP,
                             TNUM_SETP_DOWN,
                             {{&pTPara0, TPARA0_SETPOINT}, {&pCalib, CALIB_SETPOINT}},
                             kNoLimit};
const SteppedValue kTolPlus{TNUM_TOLPLUS,
                            {TNUM_TOLPLUS_D100MM, TNUM_TOLPLUS_D10MM, TNUM_TOLPLUS_D1MM,
                             TNUM_TOLPLUS_D100UM, TNUM_TOLPLUS_D10UM, TNUM_TOLPLUS_D1UM},
                            TNUM_TOLPLUS_UP,
                            TNUM_TOLPLUS_DOWN,
                            {{&pTPara0, TPARA0_TOL_UP}, {&pPA, PANEL_TOL_UP}},
                            0.0};
const SteppedValue kTolMinus{TNUM_TOLMINUS,
                             {TNUM_TOLMINUS_D100MM, TNUM_TOLMINUS_D10MM, TNUM_TOLMINUS_D1MM,
                              TNUM_TOLMINUS_D100UM, TNUM_TOLMINUS_D10UM, TNUM_TOLMINUS_D1UM},
                             TNUM_TOLMINUS_UP,
                             TNUM_TOLMINUS_DOWN,
                             {{&pTPara0, TPARA0_TOL_LO}, {&pPA, PANEL_TOL_LO}},
                             0.0};

// The step of each digit position, 100 mm … 1 um, in the markers' order.
constexpr double kSteps[6] = {100.0, 10.0, 1.0, 0.1, 0.01, 0.001};

int selectStep(int event, double step) {
    if (event == EVENT_LEFT_CLICK) mmDelta = step;
    return 0;
}

void step(const SteppedValue &v, double sign) {
    double now = 0.0;
    GetCtrlVal(pTNum, v.display, &now);
    const double next = std::max(now + sign * mmDelta, v.lowest);
    SetCtrlVal(pTNum, v.display, next);
    for (const auto &copy : v.copies)
        if (copy.panel) SetCtrlVal(*copy.panel, copy.control, next);
}

// Left click: a running RUN or VIDEO ends first (its end restores the buttons and says so),
// leaving the values shown to step from; commit: the step. A value whose display is dimmed
// (tolerances set at the housing) or hidden (the distance shown instead of the set-point) is not
// the operator's to step.
int stepper(int event, const SteppedValue &v, double sign) {
    int dimmed = 0, shown = 1;
    GetCtrlAttribute(pTNum, v.display, ATTR_DIMMED, &dimmed);
    GetCtrlAttribute(pTNum, v.display, ATTR_VISIBLE, &shown);
    if ((dimmed || !shown) && v.parameter) return 0;
    if (event == EVENT_LEFT_CLICK && stop_flag == STOP_RUNNING) stop_flag = STOP_IDLE;
    if (event == EVENT_COMMIT) step(v, sign);
    return 0;
}

void showDigits(const SteppedValue &v, int hide) {
    for (int marker : v.markers) SetCtrlAttribute(pTNum, marker, ATTR_VISIBLE, !hide);
    SetCtrlsAttribute(pTNum, {v.up, v.down}, ATTR_DIMMED, hide);
}

// Touching a value's display selects the 1 um step and shows its markers again.
int selectValue(int event, void (*show)(int)) {
    if (event != EVENT_LEFT_CLICK) return 0;
    mmDelta = kSteps[5];
    show(0);
    return 0;
}

}  // namespace

int CC_DECO_100mm(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[0]);
}
int CC_DECO_10mm(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[1]);
}
int CC_DECO_1mm(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[2]);
}
int CC_DECO_100um(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[3]);
}
int CC_DECO_10um(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[4]);
}
int CC_DECO_1um(int, int, int event, void *, int, int) {
    return selectStep(event, kSteps[5]);
}

int CC_NDISPmmSetpoint(int, int, int event, void *, int, int) {
    return selectValue(event, DimmTSD_SETPTDigits);
}
int CC_NDISPmmTolPlus(int, int, int event, void *, int, int) {
    return selectValue(event, DimmTSD_TOLPLUSDigits);
}
int CC_NDISPmmTolMinus(int, int, int event, void *, int, int) {
    return selectValue(event, DimmTSD_TOLMINUSDigits);
}
int CC_TEXTmeasvalue(int, int, int, void *, int, int) {
    return 0;
}

int CC_PICBTNmvalueUP(int, int, int event, void *, int, int) {
    return stepper(event, kMeasuredValue, +1.0);
}
int CC_PICBTNmvalueDOWN(int, int, int event, void *, int, int) {
    return stepper(event, kMeasuredValue, -1.0);
}
int CC_PICBTNsetpUP(int, int, int event, void *, int, int) {
    return stepper(event, kSetpoint, +1.0);
}
int CC_PICBTNsetpDOWN(int, int, int event, void *, int, int) {
    return stepper(event, kSetpoint, -1.0);
}
int CC_PICBTNtolplusUP(int, int, int event, void *, int, int) {
    return stepper(event, kTolPlus, +1.0);
}
int CC_PICBTNtolplusDOWN(int, int, int event, void *, int, int) {
    return stepper(event, kTolPlus, -1.0);
}
int CC_PICBTNtolminusUP(int, int, int event, void *, int, int) {
    return stepper(event, kTolMinus, +1.0);
}
int CC_PICBTNtolminusDOWN(int, int, int event, void *, int, int) {
    return stepper(event, kTolMinus, -1.0);
}

void DimmTSD_MVALDigits(int hide) {
    SetCtrlsAttribute(pTNum, {TNUM_MVAL_MM, TNUM_MVAL_UM, TNUM_MVAL_UP, TNUM_MVAL_DOWN},
                      ATTR_VISIBLE, !hide);
    showDigits(kMeasuredValue, hide);
}
void DimmTSD_SETPTDigits(int hide) {
    showDigits(kSetpoint, hide);
}
void DimmTSD_TOLPLUSDigits(int hide) {
    showDigits(kTolPlus, hide);
}
void DimmTSD_TOLMINUSDigits(int hide) {
    showDigits(kTolMinus, hide);
}
