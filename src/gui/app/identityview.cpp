#include "gui/app/identityview.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "core/link/calibheader.h"
#include "core/link/status.h"
#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/params/panelmap.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// The identification's lines go to the message boxes of both connection dialogs, whichever
// of them connected.
void appendToConnectionLog(const char *text) {
    SetCtrlVal(pConn, CONNECT_MSGBOX, text);
    SetCtrlVal(pTConn, TCONN_MSGBOX, text);
}

// The last line of the identification in the message boxes: its outcome as the status shows it,
// so that a box never ends with a step that was waiting.
void logOutcome() {
    std::string line = szStatus;
    if (line.empty() || line.back() != '\n') line += '\n';
    appendToConnectionLog(line.c_str());
}

using PanelControl = std::pair<int, int>;  // panel handle, control id

template <typename Value>
void setAttribute(std::initializer_list<PanelControl> controls, int attribute, Value value) {
    for (const auto &[panel, control] : controls)
        SetCtrlAttribute(panel, control, attribute, value);
}

// The display settings a MASTER model of the 8192 line selects.
void applyMasterSettings(const SensorModel &model) {
    if (model.toleranceStep > 0)
        setAttribute({{pPA, PANEL_TOL_UP},
                      {pPA, PANEL_TOL_LO},
                      {pTPara0, TPARA0_TOL_UP},
                      {pTPara0, TPARA0_TOL_LO}},
                     ATTR_INCR_VALUE, model.toleranceStep);
    if (model.valueDecimals > 0)
        setAttribute({{pPA, PANEL_MEASVALUE}, {pTNum, TNUM_MEASVALUE}}, ATTR_PRECISION,
                     model.valueDecimals);
}

// Micrometre-valued entries and displays with 2 decimals, for the fine SLAVE models.
void showMicrometresWith2Decimals() {
    setAttribute({{pPA, PANEL_TOL_UP},
                  {pPA, PANEL_TOL_LO},
                  {pTPara0, TPARA0_TOL_UP},
                  {pTPara0, TPARA0_TOL_LO},
                  {pPara1, PARA1_TEACH_UM},
                  {pPara2, PARA2_TEACH_UM},
                  {pTPara1, TPARA1_TEACH_UM},
                  {pTPara2, TPARA2_TEACH_UM},
                  {pPA, PANEL_MEASVALUE},
                  {pTNum, TNUM_MEASVALUE},
                  {pTMval, TMVAL_MEASVALUE}},
                 ATTR_PRECISION, 2);
}

struct Item {
    const char *label;
    int value;
};

void fillRing(int panel, int control, std::initializer_list<Item> items) {
    ClearListCtrl(panel, control);
    for (const Item &item : items) InsertListItem(panel, control, -1, item.label, item.value);
}

void fillEvalModeRings(bool pairModes) {
    for (const auto &[panel, control] :
         {PanelControl{pPara0, PARA0_EVALMODE}, PanelControl{pTPara0, TPARA0_EVALMODE}}) {
        if (pairModes)
            fillRing(panel, control,
                     {{"SLAVE", 0},
                      {"MASTER", 1},
                      {"WIDTH", 2},
                      {"CENTER", 3},
                      {"DIFF MA-SL", 4},
                      {"DIFF SL-MA", 5}});
        else
            fillRing(panel, control, {{"SLAVE", 0}, {"MASTER", 1}, {"WIDTH", 2}, {"CENTER", 3}});
    }
}

// CCD read-out rings and edge-search selectors of both sensors on both surfaces.
void configureSensorPanels(const char *mode0, const char *mode1, bool dimCcdMode) {
    for (const auto &[panel, control] :
         {PanelControl{pPara1, PARA1_CCDMODE}, PanelControl{pPara2, PARA2_CCDMODE},
          PanelControl{pTPara1, TPARA1_CCDMODE}, PanelControl{pTPara2, TPARA2_CCDMODE}}) {
        fillRing(panel, control, {{mode0, 0}, {mode1, 1}});
        if (dimCcdMode) SetCtrlAttribute(panel, control, ATTR_DIMMED, 1);
    }
    setAttribute({{pPara1, PARA1_EDGEMODE},
                  {pPara2, PARA2_EDGEMODE},
                  {pTPara1, TPARA1_EDGEMODE},
                  {pTPara2, TPARA2_EDGEMODE}},
                 ATTR_DIMMED, 1);
}

void showIntegrationTimeLimits() {
    for (const auto &[panel, control] :
         {PanelControl{pPara1, PARA1_INTTIME}, PanelControl{pPara2, PARA2_INTTIME},
          PanelControl{pTPara1, TPARA1_INTTIME}, PanelControl{pTPara2, TPARA2_INTTIME}}) {
        SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, MIN_ITIME);
        SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, MAX_ITIME);
    }
}

void configureLine8192() {
    configureSensorPanels("LOW GAIN", "HIGH GAIN", false);
    fillEvalModeRings(true);
    if (const SensorModel *master = FindSensorModel(hwinfo.linetype, hwinfo.mastertype))
        applyMasterSettings(*master);
    if (FineSlaveModel(hwinfo.slavetype)) showMicrometresWith2Decimals();
    showIntegrationTimeLimits();
}

void configureLine4096() {
    // The two-line model carries its second line at a fixed virtual offset.
    SetCtrlVal(pCalib, CALIB_VIRTOFF_A, hwinfo.mastertype == TWO_LINE_MODEL ? 30000 : 0);
    SetCtrlVal(pCalib, CALIB_VIRTOFF_B, hwinfo.slavetype == TWO_LINE_MODEL ? 30000 : 0);
    configureSensorPanels("NORM-SPEED", "HIGH-SPEED", true);
    fillEvalModeRings(HWTYPE != 22);
    showIntegrationTimeLimits();
}

}  // namespace

void applyHardwareInfo() {
    for (int graph : {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE})
        SetAxisScalingMode(pPA, graph, VAL_XAXIS, VAL_MANUAL, 1.0, hwinfo.subpixels);
    for (int line = 0; line < 3; ++line)
        ReplaceTextBoxLine(pCalib, CALIB_INFO, line, szHwLine[line]);
    if (hwinfo.linetype == LINE_8192)
        configureLine8192();
    else if (hwinfo.linetype == LINE_4096)
        configureLine4096();
}

void ShowIdentification(const Identification &result) {
    if (result.firmwareRead)
        for (const auto &[panel, control] : {PanelControl{pPA, PANEL_STATUS},
                                             PanelControl{pTSD, TSD_STATUS},
                                             {pTConn, TCONN_STATUS}})
            SetCtrlAttribute(panel, control, ATTR_TOOLTIP_TEXT, szFirmwareVersion);
    // Only an accepted pair may be sent anything: after any failure or refusal the sensor
    // controls stay dimmed until a connect identifies one.
    DimmSensorControls(result.verdict == Identified::Accepted ? 0 : 1);
    switch (result.verdict) {
        case Identified::NoLine:
            if (tsd_flag == 0) {
                DisplayPanel(pConn);
                SetCtrlAttribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED, 0);
            }
            break;
        case Identified::NoFirmwareText:
        case Identified::OtherSeries:
        case Identified::NoHardwareRecord:
            break;
        case Identified::FirmwareOutOfRange:
            applyHardwareInfo();
            break;
        case Identified::Accepted:
            applyHardwareInfo();
            for (int side : {0, 1})
                if (result.headersRead & (1u << side))
                    ShowCalibHeader(side, ShownCalibHeader(side));
            if (result.filesDropped) {
                SetCtrlVal(pCalib, CALIB_CALIBFILE, "No valid calib.-file selected!");
                SetCtrlVal(pCalib, CALIB_WRTABLE, 0);
            }
            ShowGET(result.paraReceived, 2);
            break;
    }
    if (result.refusal) MessagePopup("Attention !!!", result.refusal);
    logOutcome();
}

Identified IdentifyLostPair() {
    const Identification result = IdentifyPair(appendToConnectionLog);
    const Identified v = result.verdict;
    if (v == Identified::Accepted || v == Identified::OtherSeries ||
        v == Identified::FirmwareOutOfRange)
        ShowIdentification(result);
    else
        logOutcome();
    return v;
}

int InitDataExchange() {
    const Identification result = IdentifyPair(appendToConnectionLog);
    ShowIdentification(result);
    const bool identified =
        result.verdict == Identified::Accepted || result.verdict == Identified::OtherSeries;
    return identified ? 1 : 0;
}
