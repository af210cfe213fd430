#include "gui/touch/touchdisplays.h"

#include "core/link/commands.h"
#include "core/measure/evaluation.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/stripchart.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchrecorder.h"
#include "ktav_panels.h"

namespace {

PositionGraphs touchGraphs() {
    return {pTSD, TSD_GRAPH_MASTER, TSD_GRAPH_SLAVE};
}

double mm(int64_t um) {
    return static_cast<double>(um) / 1000.0;
}

bool toggleOn(int toggle) {
    int on = 0;
    GetCtrlVal(pTSD, toggle, &on);
    return on != 0;
}

bool softwareTolerances() {
    return para.ge.hardwareMode == 0 || para.ge.hardwareMode == 2;
}

// The three state lamps of a panel: in tolerance, above, below; exactly one is on.
void showStateLamps(int panel, int inTol, int above, int below) {
    const bool high = umValue > umupTHD, low = umValue < umloTHD;
    SetCtrlVal(panel, inTol, !high && !low);
    SetCtrlVal(panel, above, high);
    SetCtrlVal(panel, below, low && !high);
}

// The two input lamps of the numeric panel from the record's input state.
void showInputLamps(uint16_t inputs) {
    switch (inputs) {
        case 1:
        case 2:
        case 3:
            SetCtrlVal(pTNum, TNUM_LED_IN0, (inputs & 1) != 0);
            SetCtrlVal(pTNum, TNUM_LED_IN1, (inputs & 2) != 0);
            break;
        case 4:
            if (para.ge.hardwareMode == 0) break;
            SetCtrlVal(pTNum, TNUM_LED_IN0, 0);
            SetCtrlVal(pTNum, TNUM_LED_IN1, 1);
            SetCtrlAttribute(pTNum, TNUM_LED_IN1, ATTR_LABEL_TEXT, "BTN");
            break;
        default:
            SetCtrlVal(pTNum, TNUM_LED_IN0, 0);
            SetCtrlVal(pTNum, TNUM_LED_IN1, 0);
            SetCtrlAttribute(pTNum, TNUM_LED_IN1, ATTR_LABEL_TEXT, "IN1");
            break;
    }
}

void showNumericPanel() {
    SetCtrlVal(pTNum, TNUM_MEASVALUE, mm(umValue));
    SetCtrlVal(pTNum, TNUM_SETPOINT, mm(para.ge.umSetpoint));
    SetCtrlVal(pTNum, TNUM_VALUE_ANA1, mm(raw.umAnalog1));
    SetCtrlVal(pTNum, TNUM_VALUE_ANA23, mm(raw.umAnalog23));
    if (softwareTolerances()) {
        SetCtrlVal(pTNum, TNUM_TOLPLUS, UnsignedMm(para.ge.umUpperTolerance));
        SetCtrlVal(pTNum, TNUM_TOLMINUS, UnsignedMm(para.ge.umLowerTolerance));
    } else {
        const double hwTol = HardwareToleranceMm(umRange, raw.hwTolerance);
        SetCtrlVal(pTNum, TNUM_TOLPLUS, hwTol);
        SetCtrlVal(pTNum, TNUM_TOLMINUS, hwTol);
    }
    showInputLamps(raw.inputs);
    showStateLamps(pTNum, TNUM_LED_INTOL, TNUM_LED_ABOVE, TNUM_LED_BELOW);
}

void showValuesAndGraphPanels() {
    SetCtrlVal(pTMval, TMVAL_VALUE_MASTER, UnsignedMm(raw.umA));
    SetCtrlVal(pTMval, TMVAL_VALUE_SLAVE, UnsignedMm(raw.umB));
    SetCtrlVal(pTMval, TMVAL_MEASVALUE, mm(umValue));
    SetCtrlVal(pTMval, TMVAL_POS_SLAVE, static_cast<int>(raw.posB));
    SetCtrlVal(pTMval, TMVAL_POS_MASTER, static_cast<int>(raw.posA));
    SetCtrlVal(pTMval, TMVAL_POS_VALUE, static_cast<int>(raw.posCombined));
    SetCtrlVal(pTGraph, TGRAPH_SETPOINT, mm(para.ge.umSetpoint));
    // With tolerances set at the hardware, the caller shows those instead: a value written
    // and overwritten in the same cycle would still cost the displays a repaint.
    if (softwareTolerances()) {
        SetCtrlVal(pTGraph, TGRAPH_TOLPLUS, UnsignedMm(para.ge.umUpperTolerance));
        SetCtrlVal(pTGraph, TGRAPH_TOLMINUS, UnsignedMm(para.ge.umLowerTolerance));
    }
    SetCtrlVal(pTGraph, TGRAPH_VALUE_ANA1, mm(raw.umAnalog1));
    SetCtrlVal(pTGraph, TGRAPH_VALUE_ANA23, mm(raw.umAnalog23));
    showStateLamps(pTGraph, TGRAPH_LED_INTOL, TGRAPH_LED_ABOVE, TGRAPH_LED_BELOW);
    ShowSensorPower(pTPara1, TPARA1_POWER, TPARA1_INTTIME, para.ma, raw.powerA, raw.milliA);
    ShowSensorPower(pTPara2, TPARA2_POWER, TPARA2_INTTIME, para.sl, raw.powerB, raw.milliB);
}

}  // namespace

void PlotTSD_VIDEOBarGraph() {
    ShowRecordCurrent(DisplaySurface::Touch);
    const ToleranceWidths tol = EvaluateRecord();
    // The steppers stop the loop before they change a value; a cycle finishing after that stop
    // leaves the numeric panel to them, so a stepped value is not overwritten.
    const int colour = ToleranceColour();
    if (toggleOn(TSD_TOG_NUM)) {
        if (stop_flag == STOP_RUNNING) showNumericPanel();
    } else if (toggleOn(TSD_TOG_RECORDER)) {
        ShowTouchRecorderValue(umValue, colour);
    } else {
        showValuesAndGraphPanels();
    }
    // The graph panel shows the tolerance set at the hardware whichever panel is open.
    if (!softwareTolerances()) {
        const double hwTol = HardwareToleranceMm(umRange, raw.hwTolerance);
        SetCtrlVal(pTGraph, TGRAPH_TOLPLUS, hwTol);
        SetCtrlVal(pTGraph, TGRAPH_TOLMINUS, hwTol);
    }
    SetTextBackground(pTMval, TMVAL_MEASVALUE, colour);
    SetTextBackground(pTNum, TNUM_MEASVALUE, colour);
    SetTextBackground(pTMval, TMVAL_POS_VALUE, colour);
    DrawPositionGraphs(touchGraphs(), tol);
}

void PlotTSD_TOLWindow(uint16_t mode, uint16_t posA, uint16_t posB, uint16_t tolA, uint16_t tolB) {
    DrawToleranceWindows(touchGraphs(), mode, posA, posB, {tolA, tolB, true});
}

void PlotTSD_RAWGraph() {
    const ZoomRange zoom = PushRecordSample();
    DrawStripChart(TouchStripChart(), zoom);
}
