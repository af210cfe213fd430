#include "gui/app/maincontrols.h"

#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <tuple>

#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/requests.h"
#include "core/link/status.h"
#include "core/measure/acquisition.h"
#include "core/params/paramblock.h"
#include "core/params/paramfile.h"
#include "core/params/profiles.h"
#include "core/params/teach.h"
#include "core/params/transfer.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/timing.h"
#include "gui/app/evalmode.h"
#include "gui/calib/pairsetup.h"
#include "gui/measure/desktoploops.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/panelmap.h"
#include "gui/params/settingsview.h"
#include "gui/params/videocurves.h"
#include "gui/runtime/userint.h"
#include "gui/touch/numentry.h"
#include "gui/touch/touchloops.h"
#include "gui/touch/touchrecorder.h"
#include "ktav_panels.h"

namespace {

struct HelpText {
    int control;
    const char *text;
};

const HelpText kButtonHelp[] = {
    {PANEL_RUN,
     "START-BUTTON:\nStart the continuous serial RS232\ndata-transfer between PC and K-TAV\n"
     "sensor. 16 words are transferred!"},
    {PANEL_STOP,
     "STOP-BUTTON:\nStops the serial RS232-data-\ntransfer between PC and\nK-TAV sensor."},
    {PANEL_VIDEO,
     "VIDEO-BUTTON:\nTransfer video-signal (pixel-info)\n= intensity profile at CCD-line,\n"
     "via RS232 communication to PC."},
    {PANEL_TEACH,
     "TEACH-BUTTON:\nStart teach procedure at K-TAV-\nsensor. The actual pixel-position ==\n"
     "new teach value!"},
    {PANEL_RESET,
     "RESET-BUTTON:\nReset the actual maxima und minima\nvalues at the K-TAV-hardware.\n"
     "No software/hardware reset is done !"},
    {PANEL_SEND,
     "SEND-BUTTON:\nSend parameter-frame to EEPROM-\nor RAM-memory of the K-TAV-sensor!"},
    {PANEL_GET,
     "GET-BUTTON:\nGet parameter-frame of K-TAV-\nsensor from EEPROM-memory\nor RAM-memory ..."},
    {PANEL_CONNECT,
     "CONNECT-BUTTON:\nOpens a popup-window to preset some\nsettings for the serial rs232 "
     "data-transfer"},
};

constexpr const char *kVideoHelpMaster =
    "VIDEO-GRAPH-MASTER:\nVisualizes the actual video signal\nof the MASTER-sensor. The video\n"
    "signal represents the analog-value\nof each pixel over the CCD-line.\nBecause of the "
    "limited baudrate via\nthe serial RS232 interface, the\nvideo graph is refreshed slowly !";
constexpr const char *kVideoHelpSlave =
    "VIDEO-GRAPH-SLAVE:\nVisualizes the actual video signal\nof the SLAVE-sensor. The video\n"
    "signal represents the analog-value\nof each pixel over the CCD-line.\nBecause of the "
    "limited baudrate via\nthe serial RS232 interface, the\nvideo graph is refreshed slowly !";

constexpr const char *kParaFileName = "K-TAV-PARA.ini";
constexpr const char *kParaFilePattern = "*.ini";

int readInt(int panel, int control) {
    int value = 0;
    GetCtrlVal(panel, control, &value);
    return value;
}

// The value of the active surface's control (tsd_flag), copied to its twin on the other
// surface so that both show the same.
int mirrorActive(int desktopPanel, int desktopControl, int touchPanel, int touchControl) {
    const int value =
        tsd_flag ? readInt(touchPanel, touchControl) : readInt(desktopPanel, desktopControl);
    if (tsd_flag)
        SetCtrlVal(desktopPanel, desktopControl, value);
    else
        SetCtrlVal(touchPanel, touchControl, value);
    return value;
}

void showMainStatus(const char *text) {
    SetStatus(text);
    ShowStatus(ST_PA);
}

// Teach markers of both position graphs of a surface at the block's teach values.
void moveTeachMarkers(int panel, int graphA, int graphB) {
    SetGraphCursor(panel, graphA, 1, para.ma.teachValue, 0.75);
    SetGraphCursor(panel, graphA, 2, para.ma.teachValue, 0.25);
    SetGraphCursor(panel, graphB, 1, para.sl.teachValue, 0.75);
    SetGraphCursor(panel, graphB, 2, para.sl.teachValue, 0.25);
}

// Carries a request out now (`action`), leaves it to the running loop in `flag`, or refuses it
// with the reason; the flag is set only for a loop that serves it.
void request(int &flag, const char *what, void (*action)()) {
    switch (RouteOfRequest()) {
        case RequestRoute::Now:
            flag = 0;
            action();
            break;
        case RequestRoute::Loop:
            flag = 1;
            break;
        case RequestRoute::Refused:
            flag = 0;
            ShowRequestRefused(what);
            break;
    }
}

// The three parameter sets to or from the sensor with a pause after each, as one change.
void sendSets() {
    SendParaSets(static_cast<uint16_t>(target), SEND_PAUSE);
}

void getSets() {
    for (uint16_t set = 0; set < 3; ++set) {
        ShowGET(PushGET(static_cast<uint16_t>(target), set), set);
        if (set < 2) Delay(0.05);
    }
}

// GET ends what runs (its left click has stopped a loop or recording already): a recording that
// serves no request is let end, and the sets are read after it.
void requestGet() {
    if (RouteOfRequest() == RequestRoute::Refused && CurrentLinkHolder() == LinkHolder::Recording) {
        get_flag = 0;
        WhenLoopEnded(getSets);
        return;
    }
    request(get_flag, "GET", getSets);
}

void teachNow() {
    ShowTEACH(PushTEACH());
}

void resetNow() {
    PushRESET();
}

// The save dialog, the overwrite question and the file; a file that cannot be written is
// reported as a failure.
void sendToFile() {
    GetPanelValues();
    const int chosen = FileSelectPopup(proj_dir, kParaFileName, kParaFilePattern,
                                       "K-TAV-PX-MASTER/SLAVE-Series Parameter File",
                                       VAL_SAVE_BUTTON, 0, 1, 1, 1, para_pathname);
    if (chosen <= 0) return showMainStatus("Parameter saving to file failed!");
    std::error_code error;
    if (std::filesystem::exists(para_pathname, error) &&
        ConfirmPopup("ATTENTION!", "Parameter-File already exists - overwrite ?") != 1)
        return showMainStatus("Parameter not saved to file!");
    showMainStatus(WriteParaToIniFile(para, para_pathname) == 1
                       ? "Parameter saved to file!"
                       : "Parameter saving to file failed!");
}

// The load dialog and the file: 1 when the block was read from it (the panels are then
// refreshed by the GET sequence), else 0 and the panels stay as they are.
int getFromFile() {
    const int chosen = FileSelectPopup(proj_dir, kParaFileName, kParaFilePattern,
                                       "K-TAV-PX-MS-Series-Parameter-File", VAL_LOAD_BUTTON, 0, 1,
                                       1, 1, para_pathname);
    if (chosen <= 0 || ReadParaFromIniFile(para, para_pathname) != 1) {
        showMainStatus("Parameter not read from file!");
        return 0;
    }
    showMainStatus("Parameter read from file!");
    return 1;
}

// The target on the selectors of both surfaces; the touch surface has no FILE selector and
// keeps its choice while FILE is selected.
void setTarget(int which) {
    target = which;
    SetCtrlVal(pPA, PANEL_RAM, which == RAM);
    SetCtrlVal(pPA, PANEL_EEPROM, which == EEPROM);
    SetCtrlVal(pPA, PANEL_FILE, which == DATFILE);
    if (which == DATFILE) return;
    SetCtrlVal(pTSD, TSD_RAM, which == RAM);
    SetCtrlVal(pTSD, TSD_EEPROM, which == EEPROM);
}

// A selector switched on selects its target; switched off, the target falls back to RAM.
void selectTarget(int panel, int control, int which) {
    setTarget(readInt(panel, control) ? which : RAM);
}

void thresholdChanged(int desktopPanel, int desktopControl, int touchPanel, int touchControl,
                      uint16_t (&line)[MAXPOINT],
                      void (*plot)(const uint16_t *, const uint16_t *, const double *),
                      const uint16_t *profile) {
    const int percent = mirrorActive(desktopPanel, desktopControl, touchPanel, touchControl);
    FillThresholdLine(line, static_cast<uint16_t>(percent));
    plot(profile, line, xArray8);
}

int activeGeneralValue(int desktopControl, int touchControl) {
    return mirrorActive(pPara0, desktopControl, pTPara0, touchControl);
}

// The five pop-up tabs and the pop-ups they show.
struct Tab {
    int toggle;
    int *panel;
};
const Tab kTabs[] = {
    {PANEL_TAB_GENERAL, &pPara0}, {PANEL_TAB_MASTER, &pPara1}, {PANEL_TAB_SLAVE, &pPara2},
    {PANEL_TAB_CALIB, &pCalib},   {PANEL_TAB_RECORDER, &pRec},
};

int selectTab(int control, int event) {
    if (event != EVENT_LEFT_CLICK && event != EVENT_COMMIT) return 0;
    if (event == EVENT_LEFT_CLICK) SetCtrlVal(pRec, REC_MSG, "");
    for (const Tab &tab : kTabs) {
        if (tab.toggle == control) continue;
        if (event == EVENT_LEFT_CLICK)
            SetCtrlVal(pPA, tab.toggle, 0);
        else
            HidePanel(*tab.panel);
    }
    if (event == EVENT_COMMIT) {
        for (const Tab &tab : kTabs)
            if (tab.toggle == control) DisplayPanel(*tab.panel);
        SetCtrlVal(pPA, control, 1);
    }
    return 0;
}

}  // namespace

void ToggleButtonHelp(int panel, int control) {
    if (panel != pPA) return;
    for (const HelpText &help : kButtonHelp) {
        if (help.control != control) continue;
        int top = 0, left = 0, height = 0, width = 0;
        GetCtrlBoundingRect(panel, control, &top, &left, &height, &width);
        ToggleHelpBox(panel, PANEL_HELP_BTN, control, width + 10, -20, help.text);
    }
}

int CC_BTNRun(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            if (!tsd_flag) {
                SetStripChartColours(pPA, PANEL_STRIPCHART);
                break;
            }
            for (int sub : {pTPara0, pTPara1, pTPara2, pTConn, pTVideo}) HidePanel(sub);
            for (int toggle : {TSD_TOG_PARA0, TSD_TOG_PARA1, TSD_TOG_PARA2, TSD_TOG_CONNECT})
                SetCtrlVal(pTSD, toggle, 0);
            SetStripChartColours(pTGraph, TGRAPH_STRIPCHART);
            break;
        case EVENT_COMMIT:
            if (tsd_flag)
                PushTSD_RUN();
            else
                PushRUN();
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_BTNVideo(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            video_flag = 1;
            break;
        case EVENT_COMMIT:
            SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, 1);
            setTarget(RAM);
            if (tsd_flag)
                PushTSD_VIDEO();
            else
                PushVIDEO();
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_ButtonTeach(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            teach_flag = 1;
            ShowText(ST_PA | ST_TSD, "TEACH-IN activated ...");
            break;
        case EVENT_COMMIT:
            request(teach_flag, "TEACH", teachNow);
            moveTeachMarkers(pPA, PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE);
            moveTeachMarkers(pTSD, TSD_GRAPH_MASTER, TSD_GRAPH_SLAVE);
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_ButtonReset(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            reset_flag = 1;
            ShowText(ST_PA | ST_TSD, "RESET of analog/digital outputs activated ...");
            break;
        case EVENT_COMMIT:
            request(reset_flag, "RESET", resetNow);
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_BTNSend(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            DimmTSD_MVALDigits(1);
            DimmTSD_SETPTDigits(1);
            DimmTSD_TOLPLUSDigits(1);
            DimmTSD_TOLMINUSDigits(1);
            StopTouchRecording("STOPPED BY SEND");
            break;
        case EVENT_COMMIT:
            ShowText(tsd_flag ? ST_TSD : ST_PA, "Transmit...");
            if (target == DATFILE) {
                sendToFile();
            } else {
                GetPanelValues();
                request(send_flag, "SEND", sendSets);
            }
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_BTNGet(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            stop_flag = STOP_IDLE;
            StopTouchRecording("STOPPED BY GET");
            ShowText(ST_PA, "Waiting for parameter-frame ...");
            if (target != DATFILE) Delay(0.05);
            break;
        case EVENT_COMMIT:
            if (target == DATFILE && !getFromFile()) break;
            requestGet();
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_RBTRam(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED) selectTarget(panel, control, RAM);
    return 0;
}

int CC_RBTEeprom(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED) selectTarget(panel, control, EEPROM);
    return 0;
}

int CC_RBTFile(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED) selectTarget(panel, control, DATFILE);
    return 0;
}

int CC_SLIDEVideoTHD_A(int, int, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED)
        thresholdChanged(pPara1, PARA1_VTHD, pTPara1, TPARA1_VTHD, thdArrayA, PlotVIDEOCurveA,
                         adcbufA);
    return 0;
}

int CC_SLIDEVideoTHD_B(int, int, int event, void *, int, int) {
    if (event == EVENT_VAL_CHANGED)
        thresholdChanged(pPara2, PARA2_VTHD, pTPara2, TPARA2_VTHD, thdArrayB, PlotVIDEOCurveB,
                         adcbufB);
    return 0;
}

// The desktop entries also show their value on the touch surface.
int CC_NEDITeachA(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    SetGraphCursor(pPA, PANEL_GRAPH_MASTER, 2, readInt(pPara1, PARA1_TEACH_PIX), 1.0);
    return CC_NUMTeachA(panel, control, event, nullptr, 0, 0);
}

int CC_NEDITeachB(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    SetGraphCursor(pPA, PANEL_GRAPH_SLAVE, 2, readInt(pPara2, PARA2_TEACH_PIX), 1.0);
    return CC_NUMTeachB(panel, control, event, nullptr, 0, 0);
}

int CC_DropEvalMode(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int mode = activeGeneralValue(PARA0_EVALMODE, TPARA0_EVALMODE);
    const int graphType = tsd_flag ? readInt(pTGraph, TGRAPH_GTYPE) : readInt(pPA, PANEL_GTYPE);
    ApplyEvalMode(static_cast<uint16_t>(mode), graphType, false);
    return 0;
}

int CC_DROPHardwareMode(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int mode = activeGeneralValue(PARA0_HWMODE, TPARA0_HWMODE);
    const int dimmed = mode == 1 || mode == 3;
    SetCtrlsAttribute(pPA, {PANEL_TOL_UP, PANEL_TOL_LO}, ATTR_DIMMED, dimmed);
    SetCtrlsAttribute(pTPara0, {TPARA0_TOL_UP, TPARA0_TOL_LO}, ATTR_DIMMED, dimmed);
    SetCtrlsAttribute(pTNum, {TNUM_TOLPLUS, TNUM_TOLMINUS}, ATTR_DIMMED, dimmed);
    FitNumericSteppers();
    return 0;
}

int CC_DROPtrigMode(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const int mode = activeGeneralValue(PARA0_TRIGMODE, TPARA0_TRIGMODE);
    const char *desktop = mode == 1 ? "TRG: IN0 HI" : mode == 2 ? "TRG: IN0 LH" : "TRG: NO USE";
    const char *touch = mode == 1   ? "TRG-MODE: IN0 HI"
                        : mode == 2 ? "TRG-MODE:IN0 LH"
                                    : "TRG-MODE: NO USE";
    SetCtrlVal(pPA, PANEL_LBL_TRIGMODE, desktop);
    SetCtrlVal(pTGraph, TGRAPH_LBL_TRIGMODE, touch);
    SetCtrlVal(pTNum, TNUM_LBL_TRIGMODE, touch);
    return 0;
}

int CC_DROPpolarity(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    const bool direct = activeGeneralValue(PARA0_POLARITY, TPARA0_POLARITY) == 1;
    SetCtrlVal(pPA, PANEL_LBL_POLARITY, direct ? "POL:  DIRECT" : "POL:  INVERSE");
    const char *touch = direct ? "POLARITY: DIRECT" : "POLARITY: INVERSE";
    SetCtrlVal(pTGraph, TGRAPH_LBL_POLARITY, touch);
    SetCtrlVal(pTNum, TNUM_LBL_POLARITY, touch);
    return 0;
}

int CC_DROPrs232mode(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    SetCtrlVal(pTRec, TREC_RS232MODE, readInt(pRec, REC_RS232MODE));
    const int dimmed = para.ge.rs232OutMode == 2 || para.ge.rs232OutMode == 3;
    SetCtrlsAttribute(pRec, {REC_START, REC_STOP, REC_FILEBTN, REC_INCTIME, REC_SAMPLES},
                      ATTR_DIMMED, dimmed);
    return 0;
}

int CC_RINGgtype(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    const int millimetres = mirrorActive(pPA, PANEL_GTYPE, pTGraph, TGRAPH_GTYPE) != 0;
    for (auto [panel, chart, zoom] : {std::tuple{pPA, PANEL_STRIPCHART, PANEL_ZOOM},
                                      std::tuple{pTGraph, TGRAPH_STRIPCHART, TGRAPH_ZOOM}}) {
        for (int trace = 1; trace <= 7; ++trace)
            SetTraceAttribute(panel, chart, trace, ATTR_TRACE_VISIBLE, (trace <= 5) == millimetres);
        if (millimetres) {
            SetCtrlAttribute(panel, chart, ATTR_YPRECISION, YPRECISION);
            SetCtrlAttribute(panel, chart, ATTR_YNAME, "Meas.-Value / [mm]");
            continue;
        }
        SetCtrlVal(panel, zoom, 0);
        SetCtrlAttribute(panel, chart, ATTR_YPRECISION, 0);
        SetCtrlAttribute(panel, chart, ATTR_YNAME, "Meas.-Value / [pixel]");
        SetAxisScalingMode(panel, chart, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, hwinfo.subpixels);
    }
    if (!millimetres) zoom_flag = 0;
    return 0;
}

int CC_TOGGBTNZoom(int, int, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    zoom_flag = tsd_flag ? readInt(pTGraph, TGRAPH_ZOOM) : readInt(pPA, PANEL_ZOOM);
    SetCtrlVal(pPA, PANEL_ZOOM, zoom_flag);
    SetCtrlVal(pTGraph, TGRAPH_ZOOM, zoom_flag);
    return 0;
}

int CC_TOGGBTNConnect(int panel, int control, int event, void *, int, int) {
    switch (event) {
        case EVENT_LEFT_CLICK:
            stop_flag = STOP_IDLE;
            break;
        case EVENT_COMMIT:
            // The press toggled it: off now means it was on already, and it stays on.
            if (readInt(panel, control) == 0) {
                SetCtrlVal(panel, control, 1);
                break;
            }
            SetCtrlsAttribute(pConn, {CONNECT_TRYCONNECT, CONNECT_ACCEPT}, ATTR_DIMMED, 0);
            DisplayPanel(pConn);
            break;
        case EVENT_RIGHT_CLICK:
            ToggleButtonHelp(panel, control);
            break;
    }
    return 0;
}

int CC_TOGGBTN_Para0(int, int control, int event, void *, int, int) {
    return selectTab(control, event);
}

int CC_TOGGBTN_Para1(int, int control, int event, void *, int, int) {
    return selectTab(control, event);
}

int CC_TOGGBTN_Para2(int, int control, int event, void *, int, int) {
    return selectTab(control, event);
}

int CC_TOGGBTN_Calib(int, int control, int event, void *, int, int) {
    return selectTab(control, event);
}

int CC_TOGGBTN_Recorder(int, int control, int event, void *, int, int) {
    return selectTab(control, event);
}

int CC_GRAPHVideoMaster(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_RIGHT_CLICK)
        ToggleHelpBox(panel, PANEL_HELP_GRAPH, control, 60, 30, kVideoHelpMaster);
    return 0;
}

int CC_GRAPHVideoSlave(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_RIGHT_CLICK)
        ToggleHelpBox(panel, PANEL_HELP_GRAPH, control, 60, 30, kVideoHelpSlave);
    return 0;
}

int CC_HelpText1(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK || event == EVENT_RIGHT_CLICK)
        SetCtrlAttribute(panel, control, ATTR_VISIBLE, 0);
    return 0;
}

int CC_HelpText2(int panel, int control, int event, void *, int, int) {
    return CC_HelpText1(panel, control, event, nullptr, 0, 0);
}
