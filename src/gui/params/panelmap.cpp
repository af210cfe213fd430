#include "gui/params/panelmap.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "core/link/calibheader.h"
#include "core/link/identity.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/params/profiles.h"
#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/params/stripchart.h"
#include "gui/params/videocurves.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

struct Place {
    const int *panel;
    int control;
};

// General fields shown as they are.
struct GeneralField {
    uint16_t ParaGeneral::*field;
    Place desktop, touch;
};
const GeneralField kGeneralFields[] = {
    {&ParaGeneral::evalMode, {&pPara0, PARA0_EVALMODE}, {&pTPara0, TPARA0_EVALMODE}},
    {&ParaGeneral::optionSwitch, {&pPara0, PARA0_LASERMODE}, {&pTPara0, TPARA0_LASERMODE}},
    {&ParaGeneral::triggerMode, {&pPara0, PARA0_TRIGMODE}, {&pTPara0, TPARA0_TRIGMODE}},
    {&ParaGeneral::analogOutMode, {&pPara0, PARA0_ANAMODE}, {&pTPara0, TPARA0_ANAMODE}},
    {&ParaGeneral::hardwareMode, {&pPara0, PARA0_HWMODE}, {&pTPara0, TPARA0_HWMODE}},
    {&ParaGeneral::average, {&pPara0, PARA0_AVERAGE}, {&pTPara0, TPARA0_AVERAGE}},
    {&ParaGeneral::polarity, {&pPara0, PARA0_POLARITY}, {&pTPara0, TPARA0_POLARITY}},
    {&ParaGeneral::analogOutZoom, {&pPara0, PARA0_ANAZOOM}, {&pTPara0, TPARA0_ANAZOOM}},
    {&ParaGeneral::rs232OutMode, {&pRec, REC_RS232MODE}, {&pTRec, TREC_RS232MODE}},
    {&ParaGeneral::measurementMode, {&pCalib, CALIB_MMODE}, {&pTPara0, TPARA0_MMODE}},
};

// General micrometre fields shown in millimetres; the touch numeric panel shows them too.
struct GeneralMmField {
    int32_t ParaGeneral::*field;
    bool isUnsigned;
    Place desktop, touch, touchDisplay;
};
const GeneralMmField kGeneralMmFields[] = {
    {&ParaGeneral::umUpperTolerance,
     true,
     {&pPA, PANEL_TOL_UP},
     {&pTPara0, TPARA0_TOL_UP},
     {&pTNum, TNUM_TOLPLUS}},
    {&ParaGeneral::umLowerTolerance,
     true,
     {&pPA, PANEL_TOL_LO},
     {&pTPara0, TPARA0_TOL_LO},
     {&pTNum, TNUM_TOLMINUS}},
    {&ParaGeneral::umSetpoint,
     false,
     {&pCalib, CALIB_SETPOINT},
     {&pTPara0, TPARA0_SETPOINT},
     {&pTNum, TNUM_SETPOINT}},
};

// The set-point is signed: shown as such, a set-point below zero reads back unchanged.
double shownMm(const GeneralMmField &f) {
    const int32_t um = para.ge.*f.field;
    return f.isUnsigned ? MmOfUm(um) : um / 1000.0;
}

// The controls of one sensor's parameter panel.
struct SensorPanel {
    const int *panel;
    int power, powerMode, intTime, videoThreshold, teachPixel, evalBegin, evalEnd, modeSelect,
        ccdMode, teachUm;
};
const SensorPanel kMasterDesktop{&pPara1,        PARA1_POWER,     PARA1_PMODE,      PARA1_INTTIME,
                                 PARA1_VTHD,     PARA1_TEACH_PIX, PARA1_EVAL_BEGIN, PARA1_EVAL_END,
                                 PARA1_EDGEMODE, PARA1_CCDMODE,   PARA1_TEACH_UM};
const SensorPanel kMasterTouch{&pTPara1,          TPARA1_POWER,    TPARA1_PMODE,
                               TPARA1_INTTIME,    TPARA1_VTHD,     TPARA1_TEACH_PIX,
                               TPARA1_EVAL_BEGIN, TPARA1_EVAL_END, TPARA1_EDGEMODE,
                               TPARA1_CCDMODE,    TPARA1_TEACH_UM};
const SensorPanel kSlaveDesktop{&pPara2,        PARA2_POWER,     PARA2_PMODE,      PARA2_INTTIME,
                                PARA2_VTHD,     PARA2_TEACH_PIX, PARA2_EVAL_BEGIN, PARA2_EVAL_END,
                                PARA2_EDGEMODE, PARA2_CCDMODE,   PARA2_TEACH_UM};
const SensorPanel kSlaveTouch{&pTPara2,        TPARA2_POWER,     TPARA2_PMODE,      TPARA2_INTTIME,
                              TPARA2_VTHD,     TPARA2_TEACH_PIX, TPARA2_EVAL_BEGIN, TPARA2_EVAL_END,
                              TPARA2_EDGEMODE, TPARA2_CCDMODE,   TPARA2_TEACH_UM};

// Sensor fields shown as they are.
struct SensorField {
    uint16_t ParaSensor::*field;
    int SensorPanel::*control;
};
const SensorField kSensorFields[] = {
    {&ParaSensor::power, &SensorPanel::power},
    {&ParaSensor::powerMode, &SensorPanel::powerMode},
    {&ParaSensor::videoThreshold, &SensorPanel::videoThreshold},
    {&ParaSensor::teachValue, &SensorPanel::teachPixel},
    {&ParaSensor::evalBegin, &SensorPanel::evalBegin},
    {&ParaSensor::evalEnd, &SensorPanel::evalEnd},
    {&ParaSensor::modeSelect, &SensorPanel::modeSelect},
    {&ParaSensor::ccdOpMode, &SensorPanel::ccdMode},
};

void readSensor(ParaSensor &set, const SensorPanel &p) {
    for (const SensorField &f : kSensorFields) GetCtrlVal(*p.panel, p.*f.control, &(set.*f.field));
    double ms = MsOfIntTime(set.intTime);
    double mm = MmOfUm(set.umTeachValue);
    GetCtrlVal(*p.panel, p.intTime, &ms);
    GetCtrlVal(*p.panel, p.teachUm, &mm);
    // While the control shows the stored time, the stored time stays, though it may not be a
    // multiple of 100 us; only the operator's entry is taken in steps of 100 us.
    if (IntTimeOfMs(ms) != IntTimeOfMs(MsOfIntTime(set.intTime))) set.intTime = IntTimeOfMs(ms);
    set.umTeachValue = static_cast<int32_t>(UnsignedUmOfMm(mm));
}

void showSensor(const ParaSensor &set, const SensorPanel &p) {
    for (const SensorField &f : kSensorFields)
        SetCtrlVal(*p.panel, p.*f.control, int(set.*f.field));
    // MIN_ITIME and MAX_ITIME bound the operator's entries; a time from the sensor or a file
    // outside them (0: not set) is shown as it is, so the entry's range is widened to hold it.
    const double ms = MsOfIntTime(set.intTime);
    SetCtrlAttribute(*p.panel, p.intTime, ATTR_MIN_VALUE, std::min(MIN_ITIME, ms));
    SetCtrlAttribute(*p.panel, p.intTime, ATTR_MAX_VALUE, std::max(MAX_ITIME, ms));
    SetCtrlVal(*p.panel, p.intTime, ms);
    SetCtrlVal(*p.panel, p.teachUm, MmOfUm(set.umTeachValue));
}

void setDimmed(const int &panel, int control, bool dimmed) {
    SetCtrlAttribute(panel, control, ATTR_DIMMED, dimmed ? 1 : 0);
}

// Power and integration-time entries of one sensor, with its power-mode labels. Dynamic power
// (1) takes the power from the sensor, exposure control (2) the integration time.
struct PowerModeView {
    const SensorPanel &desktop, &touch;  // this sensor's panels
    const SensorPanel &otherDesktop, &otherTouch;
    Place label, touchLabels[2];
    const char *labels[3];      // STA, DYN, EXP on the main panel
    const char *touchTexts[3];  // on the touch panels
};

void showPowerMode(uint16_t mode, const PowerModeView &v) {
    const int kind = mode == 1 || mode == 2 ? mode : 0;
    for (const SensorPanel *p : {&v.desktop, &v.touch}) {
        setDimmed(*p->panel, p->power, kind == 1);
        setDimmed(*p->panel, p->intTime, kind == 2);
    }
    // The two-line hardware has one integration time for both lines.
    if (kind == 2 && HWTYPE == 22)
        for (const SensorPanel *p : {&v.otherDesktop, &v.otherTouch})
            setDimmed(*p->panel, p->intTime, true);
    SetCtrlVal(*v.label.panel, v.label.control, v.labels[kind]);
    for (const Place &l : v.touchLabels) SetCtrlVal(*l.panel, l.control, v.touchTexts[kind]);
}

const PowerModeView kMasterPower{kMasterDesktop,
                                 kMasterTouch,
                                 kSlaveDesktop,
                                 kSlaveTouch,
                                 {&pPA, PANEL_LBL_PMODE_MA},
                                 {{&pTGraph, TGRAPH_LBL_PMODE_MA}, {&pTNum, TNUM_LBL_PMODE_MA}},
                                 {"PM: STA", "PM: DYN", "PM: EXP"},
                                 {"POW-MODE: STA", "POW-MODE: DYN", "POW-MODE: EXP"}};
const PowerModeView kSlavePower{kSlaveDesktop,
                                kSlaveTouch,
                                kMasterDesktop,
                                kMasterTouch,
                                {&pPA, PANEL_LBL_PMODE_SL},
                                {{&pTGraph, TGRAPH_LBL_PMODE_SL}, {&pTNum, TNUM_LBL_PMODE_SL}},
                                {"/ STA", "/ DYN", "/ EXP"},
                                {"/ STA", "/ DYN", "/ EXP"}};

void showPowerModes() {
    showPowerMode(para.ma.powerMode, kMasterPower);
    showPowerMode(para.sl.powerMode, kSlavePower);
    // On the two-line hardware the slave's integration time always follows the master's.
    if (HWTYPE == 22) {
        setDimmed(pPara2, PARA2_INTTIME, true);
        setDimmed(pTPara2, TPARA2_INTTIME, true);
    }
}

void showGeneral() {
    for (const GeneralField &f : kGeneralFields) {
        const int value = para.ge.*f.field;
        SetCtrlVal(*f.desktop.panel, f.desktop.control, value);
        SetCtrlVal(*f.touch.panel, f.touch.control, value);
    }
    for (const GeneralMmField &f : kGeneralMmFields) {
        const double mm = shownMm(f);
        for (const Place &p : {f.desktop, f.touch, f.touchDisplay})
            SetCtrlVal(*p.panel, p.control, mm);
    }
}

// Set-point entries shown in set-point mode, distance displays in distance mode.
void showMeasurementMode() {
    const bool setpoint = para.ge.measurementMode == 1;
    SetCtrlVal(pCalib, CALIB_LBL_SETPOINT, setpoint ? "SETPOINT-VALUE" : "DIST MA/SL");
    SetCtrlVal(pTPara0, TPARA0_LBL_SETPOINT, setpoint ? "SETPOINT-VALUE" : "DIST-MA/SL");
    SetCtrlVal(pTNum, TNUM_LBL_SETPOINT, setpoint ? "SETPOINT" : "DIST M<>S");
    const Place pairs[][2] = {{{&pCalib, CALIB_SETPOINT}, {&pCalib, CALIB_VIRTOFFS}},
                              {{&pTPara0, TPARA0_SETPOINT}, {&pTPara0, TPARA0_VIRTOFFS}},
                              {{&pTNum, TNUM_SETPOINT}, {&pTNum, TNUM_VIRTOFFS}}};
    for (const auto &[setpointControl, distanceControl] : pairs) {
        SetCtrlAttribute(*setpointControl.panel, setpointControl.control, ATTR_VISIBLE, setpoint);
        SetCtrlAttribute(*distanceControl.panel, distanceControl.control, ATTR_VISIBLE, !setpoint);
    }
}

// Tolerance entries are editable only while the tolerances come from the parameter block.
void showToleranceSource() {
    const bool fromHardware = para.ge.hardwareMode != 0 && para.ge.hardwareMode != 2;
    for (const GeneralMmField &f : kGeneralMmFields) {
        if (!f.isUnsigned) continue;  // the set-point
        for (const Place &p : {f.desktop, f.touch, f.touchDisplay})
            setDimmed(*p.panel, p.control, fromHardware);
    }
}

void showPolarity() {
    const bool direct = para.ge.polarity == 1;
    SetCtrlVal(pPA, PANEL_LBL_POLARITY, direct ? "POL: DIRECT" : "POL: INVERSE");
    SetCtrlVal(pTGraph, TGRAPH_LBL_POLARITY, direct ? "POLARITY: DIRECT" : "POLARITY: INVERT");
    SetCtrlVal(pTNum, TNUM_LBL_POLARITY, direct ? "POLARITY: DIRECT" : "POLARITY: INVERT");
}

// RS-232 output modes 2 and 3 leave no line for recording.
void showRecorderAvailability() {
    const bool dimmed = para.ge.rs232OutMode == 2 || para.ge.rs232OutMode == 3;
    SetCtrlsAttribute(pRec, {REC_START, REC_STOP, REC_FILEBTN, REC_INCTIME, REC_SAMPLES},
                      ATTR_DIMMED, dimmed);
    SetCtrlsAttribute(pTRec,
                      {TREC_INCTIME, TREC_INCFINE, TREC_INC_UP, TREC_INC_DOWN, TREC_OUTFILE,
                       TREC_FILEBTN, TREC_START, TREC_STOP},
                      ATTR_DIMMED, dimmed);
}

// The strip charts' band and axis, on the desktop the video graphs with their threshold lines,
// and the grey object area of the position graphs, on the active surface.
void redrawGraphs() {
    const double lastPixel = PixelCount() - 1;
    FollowStripBand();
    if (!tsd_flag) {
        PlotVIDEOCurveA(adcbufA, thdArrayA, xArray8);
        PlotVIDEOCurveB(adcbufB, thdArrayB, xArray8);
    }
    const int panel = tsd_flag ? pTSD : pPA;
    const int master = tsd_flag ? TSD_GRAPH_MASTER : PANEL_GRAPH_MASTER;
    const int slave = tsd_flag ? TSD_GRAPH_SLAVE : PANEL_GRAPH_SLAVE;
    for (int graph : {master, slave})
        PlotRectangle(panel, graph, 0.0, 0.0, lastPixel, 1.0, 0xA0A0A0, 0xA0A0A0);
}

struct CalibSide {
    int type, param1, param2, tableLength, range, offset, virtOffset;
};
constexpr CalibSide kCalibSides[2] = {
    {CALIB_TYPE_A, CALIB_P1_A, CALIB_P2_A, CALIB_TABLEN_A, CALIB_RANGE_A, CALIB_OFFSET_A,
     CALIB_VIRTOFF_A},
    {CALIB_TYPE_B, CALIB_P1_B, CALIB_P2_B, CALIB_TABLEN_B, CALIB_RANGE_B, CALIB_OFFSET_B,
     CALIB_VIRTOFF_B},
};

// Selects the type-code item named by `code`, or the last item, which stands for any code the
// list does not hold.
void showTypeCode(int control, int32_t code) {
    int index = -1, count = 0, value = 0;
    const std::string text = std::to_string(code);
    GetIndexFromLabel(pCalib, control, &index, text.c_str());
    if (index < 0 && GetNumListItems(pCalib, control, &count) == 0) index = count - 1;
    if (index >= 0 && GetValueFromIndex(pCalib, control, index, &value) == 0)
        SetCtrlVal(pCalib, control, value);
}

}  // namespace

double MmOfUm(int32_t um) {
    return static_cast<uint32_t>(um) / 1000.0;
}

// The entry is first taken to whole nanometres, which removes the binary representation error
// of decimal millimetres (1.001 * 1000 is 1000.9999...), and then truncated to micrometres.
int32_t UmOfMm(double mm) {
    return static_cast<int32_t>(std::trunc(std::round(mm * 1e6) / 1000.0));
}

uint32_t UnsignedUmOfMm(double mm) {
    return static_cast<uint32_t>(static_cast<int64_t>(std::trunc(std::round(mm * 1e6) / 1000.0)));
}

double MsOfIntTime(uint16_t us) {
    return std::lround(10.0 * us / 1000.0) / 10.0;
}

uint16_t IntTimeOfMs(double ms) {
    return static_cast<uint16_t>(100 * std::lround(10.0 * ms));
}

void ShowCalibHeader(int index, const CalibHeader &h) {
    const CalibSide &side = kCalibSides[index];
    showTypeCode(side.type, h.typeCode);
    SetCtrlVal(pCalib, side.param1, int(h.param1));
    SetCtrlVal(pCalib, side.param2, int(h.param2));
    SetCtrlVal(pCalib, side.tableLength, int(h.tableLength));
    SetCtrlVal(pCalib, side.range, int(h.range));
    SetCtrlVal(pCalib, side.offset, int(h.offset));
    SetCtrlVal(pCalib, side.virtOffset, int(h.virtOffset));
}

void TakeCalibHeader(int index, CalibHeader &h) {
    const CalibSide &side = kCalibSides[index];
    GetCtrlVal(pCalib, side.type, &h.typeCode);
    GetCtrlVal(pCalib, side.param1, &h.param1);
    GetCtrlVal(pCalib, side.param2, &h.param2);
    GetCtrlVal(pCalib, side.tableLength, &h.tableLength);
    GetCtrlVal(pCalib, side.range, &h.range);
    GetCtrlVal(pCalib, side.offset, &h.offset);
    GetCtrlVal(pCalib, side.virtOffset, &h.virtOffset);
}

void GetPanelValues() {
    const bool touch = tsd_flag != 0;
    for (const GeneralField &f : kGeneralFields) {
        const Place &p = touch ? f.touch : f.desktop;
        GetCtrlVal(*p.panel, p.control, &(para.ge.*f.field));
    }
    for (const GeneralMmField &f : kGeneralMmFields) {
        const Place &p = touch ? f.touch : f.desktop;
        double mm = shownMm(f);
        GetCtrlVal(*p.panel, p.control, &mm);
        para.ge.*f.field = f.isUnsigned ? static_cast<int32_t>(UnsignedUmOfMm(mm)) : UmOfMm(mm);
    }
    readSensor(para.ma, touch ? kMasterTouch : kMasterDesktop);
    readSensor(para.sl, touch ? kSlaveTouch : kSlaveDesktop);
    GetCtrlVal(touch ? pTConn : pConn, touch ? TCONN_BAUDRATE : CONNECT_BAUDRATE,
               &para.ma.baudrateIndex);
    ActivateSettings(para.ge.evalMode);
    CalcUMThresholds(para.ge.evalMode);
    FollowStripBand();
}

void SetPanelValues() {
    CheckParaRanges(para, hwinfo.pixelCount);
    showGeneral();
    showSensor(para.ma, kMasterDesktop);
    showSensor(para.ma, kMasterTouch);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, int(para.ma.baudrateIndex));
    SetCtrlVal(pTConn, TCONN_BAUDRATE, int(para.ma.baudrateIndex));
    showSensor(para.sl, kSlaveDesktop);
    showSensor(para.sl, kSlaveTouch);
    ShowCalibHeader(0, ShownCalibHeader(0));
    ShowCalibHeader(1, ShownCalibHeader(1));
    showPowerModes();
    showMeasurementMode();
    showToleranceSource();
    FitNumericSteppers();
    showPolarity();
    showRecorderAvailability();
    ShowEvalMode(para.ge.evalMode, true);
    ActivateSettings(para.ge.evalMode);
    CalcUMThresholds(para.ge.evalMode);
    FillThresholdLines();
    redrawGraphs();
}

void ShowGET(int received, uint16_t set) {
    if (received == 1 && set == PARA_PAGES - 1) SetPanelValues();
}

void ShowTEACH(int result) {
    if (result == 0) {
        // Cursor 1 (top) and cursor 2 (bottom) of each position graph mark the teach positions.
        const int panel = tsd_flag ? pTSD : pPA;
        const int graphA = tsd_flag ? TSD_GRAPH_MASTER : PANEL_GRAPH_MASTER;
        const int graphB = tsd_flag ? TSD_GRAPH_SLAVE : PANEL_GRAPH_SLAVE;
        SetGraphCursor(panel, graphA, 1, teach.posA, 0.75);
        SetGraphCursor(panel, graphB, 1, teach.posB, 0.75);
        SetGraphCursor(panel, graphA, 2, teach.posA, 0.25);
        SetGraphCursor(panel, graphB, 2, teach.posB, 0.25);
    }
    SetPanelValues();
}
