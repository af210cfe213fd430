#include "gui/app/shell.h"

#include <QDate>
#include <QTimer>
#include <cstdio>

#include "core/calib/calibfile.h"
#include "core/calib/identifypair.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/params/profiles.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/serial.h"
#include "core/system/signals.h"
#include "core/system/tcp.h"
#include "core/system/timing.h"
#include "gui/app/appini.h"
#include "gui/app/bindings.h"
#include "gui/app/evalmode.h"
#include "gui/app/hwselect.h"
#include "gui/app/identityview.h"
#include "gui/app/linkview.h"
#include "gui/app/logo.h"
#include "gui/app/maincontrols.h"
#include "gui/app/reconnect.h"
#include "gui/app/stopaction.h"
#include "gui/app/tablewritegate.h"
#include "gui/app/tooltips.h"
#include "gui/calib/calibpopup.h"
#include "gui/measure/recpopup.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchrecorder.h"
#include "gui/touch/touchscreen.h"
#include "ktav_panels.h"

namespace {

constexpr const char *kMainTitle = "K-TAV-PX-Master-Slave-Series CONTROL-PANEL";
constexpr int kIdleGrey = 0xE0E0E0;

int exitStatus = 0;  // what WinMain returns after the shut-down

// The connection attempt of the start-up with the stored transport: 1 when the transport
// opened and the device was identified; 0 when it was not identified; -1 when the transport
// did not open.
int connectAtStartUp() {
    ForgetDevice();
    if (comtype == 0) {
        rs232_con = InitRS232(rs232port, rs232baudrate);
        return rs232_con == 1 ? InitDataExchange() : -1;
    }
    tcp_con = InitTCP_IP();
    return tcp_con == 1 ? InitDataExchange() : -1;
}

void onTerminationSignal() {
    if (!HoldCloseForTableWrite(tsd_flag == 1)) CloseProgram(tsd_flag == 1);
}

// Opens the desktop recorder pop-up with its tab and presses START; the recording runs inside
// the press until it ends.
void pressRecorderStart() {
    CC_TOGGBTN_Recorder(pPA, PANEL_TAB_RECORDER, EVENT_LEFT_CLICK, nullptr, 0, 0);
    CC_TOGGBTN_Recorder(pPA, PANEL_TAB_RECORDER, EVENT_COMMIT, nullptr, 0, 0);
    CC_CBTNStartRecord(pRec, REC_START, EVENT_COMMIT, nullptr, 0, 0);
}

// Takes the picture of the active surface, then closes as the operator would.
void takeScreenshot(const std::string &path) {
    const int panel = tsd_flag ? pTSD : pPA;
    if (SavePanelImage(panel, path.c_str()) != 0) {
        std::fprintf(stderr, "cannot write the screenshot %s\n", path.c_str());
        exitStatus = EXIT_NOT_SAVED;
    }
    CloseProgram(tsd_flag == 1);
}

}  // namespace

void PressAcquisitionButton(bool video) {
    const int panel = tsd_flag ? pTSD : pPA;
    const int runButton = tsd_flag ? TSD_RUN : PANEL_RUN;
    const int videoButton = tsd_flag ? TSD_VIDEO : PANEL_VIDEO;
    const int control = video ? videoButton : runButton;
    const auto callback = video ? CC_BTNVideo : CC_BTNRun;
    callback(panel, control, EVENT_LEFT_CLICK, nullptr, 0, 0);
    callback(panel, control, EVENT_COMMIT, nullptr, 0, 0);
}

void ShowTransportFields(int tcp) {
    const bool serial = tcp == 0;
    SetCtrlsAttribute(
        pConn, {CONNECT_COMPORT, CONNECT_LBL_COMPORT, CONNECT_BAUDRATE, CONNECT_LBL_BAUDRATE},
        ATTR_VISIBLE, serial);
    SetCtrlsAttribute(
        pConn, {CONNECT_IPADDRESS, CONNECT_LBL_IPADDRESS, CONNECT_PORTNUM, CONNECT_LBL_PORTNUM},
        ATTR_VISIBLE, !serial);
    SetCtrlsAttribute(pTConn,
                      {TCONN_COMPORT, TCONN_LBL_COMPORT, TCONN_BAUDRATE, TCONN_LBL_BAUDRATE},
                      ATTR_VISIBLE, serial);
    SetCtrlsAttribute(pTConn,
                      {TCONN_IPADDRESS, TCONN_LBL_IPADDRESS, TCONN_PORTNUM, TCONN_LBL_PORTNUM},
                      ATTR_VISIBLE, !serial);
    SetCtrlsAttribute(pPA, {PANEL_COMPORT}, ATTR_VISIBLE, serial);
    SetCtrlsAttribute(pPA, {PANEL_HOST}, ATTR_VISIBLE, !serial);
    SetCtrlsAttribute(pTSD, {TSD_COMPORT}, ATTR_VISIBLE, serial);
    SetCtrlsAttribute(pTSD, {TSD_HOST}, ATTR_VISIBLE, !serial);
}

void InitVars() {
    ResetParaBlock();
    ResetCalibration();
    ResetHwInfo();
    umTeach = umRange = umRangeA = umRangeB = umVIRTOFFS = umupTHD = umloTHD = 0;
    ResetTransportSettings();
    ResetSharedState();

    std::snprintf(szVersion, sizeof szVersion, "%s", szProgramVersion);
    SetPanelAttribute(pPA, ATTR_TITLE, kMainTitle);
    ShowLogo(2);

    SetCtrlAttribute(pConn, CONNECT_IPADDRESS, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTConn, TCONN_IPADDRESS, ATTR_TEXT_BGCOLOR, kIdleGrey);
    ReadIniFile(appini_pathname);

    ShowRecorderFile();
    SetCtrlVal(pRec, REC_DATE, QDate::currentDate().toString("MM-dd-yyyy").toLatin1().constData());

    for (int graph : {PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE}) {
        DeleteGraphPlot(pPA, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
        SetGraphCursor(pPA, graph, 1, 0.0, 1.0);
        SetCursorAttribute(pPA, graph, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_SQUARE);
    }
    PrepareTypeCodeLists();
    FillThresholdLines();
}

void InitGUI() {
    ShowTransportFields(comtype);
    SetCtrlVal(pPA, PANEL_COMPORT, rs232port);
    SetCtrlVal(pTSD, TSD_COMPORT, rs232port);
    SetCtrlVal(pPA, PANEL_HOST, szIPhostName);
    SetCtrlVal(pTSD, TSD_HOST, szIPhostName);

    const bool setpointMode = para.ge.measurementMode == 1;
    SetCtrlsAttribute(pCalib, {CALIB_SETPOINT}, ATTR_DIMMED, !setpointMode);
    SetCtrlsAttribute(pTPara0, {TPARA0_SETPOINT}, ATTR_DIMMED, !setpointMode);

    const bool softwareTolerances = para.ge.hardwareMode == 0 || para.ge.hardwareMode == 2;
    SetCtrlsAttribute(pPA, {PANEL_TOL_UP, PANEL_TOL_LO}, ATTR_DIMMED, !softwareTolerances);
    SetCtrlsAttribute(pTPara0, {TPARA0_TOL_UP, TPARA0_TOL_LO}, ATTR_DIMMED, !softwareTolerances);
    SetCtrlsAttribute(pTNum, {TNUM_TOLPLUS, TNUM_TOLMINUS}, ATTR_DIMMED, !softwareTolerances);
    FitNumericSteppers();

    const bool direct = para.ge.polarity == 1;
    SetCtrlVal(pPA, PANEL_LBL_POLARITY, direct ? "POL: DIRECT" : "POL: INVERT");
    SetCtrlVal(pTGraph, TGRAPH_LBL_POLARITY, direct ? "POLARITY: DIRECT" : "POLARITY: INVERSE");
    SetCtrlVal(pTNum, TNUM_LBL_POLARITY, direct ? "POLARITY: DIRECT" : "POLARITY: INVERSE");

    int graphType = 0;
    GetCtrlVal(pPA, PANEL_GTYPE, &graphType);
    ApplyEvalMode(para.ge.evalMode, graphType, true);

    SetCtrlAttribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR, 0x484848);
    ShowTouchRecorderIdle();
    SetCtrlAttribute(pTSD, TSD_STATUS, ATTR_TEXT_BGCOLOR, 0xF0F0F0);
    if (tsd_flag == 0) AttachToolTips();
}

int StartProgram(const ProgramOptions &options) {
    const char *resource = options.panelResource ? options.panelResource : PANEL_RESOURCE;
    exitStatus = 0;
    if (LoadAllPanels(resource) < 0) return -1;
    PlacePanels();
    const int fellBack = SetProgramDirectory(options.dir.c_str());
    InstallLinkView(options.logFile.c_str());
    BindAllCallbacks();
    InitVars();
    if (options.touch) tsd_flag = 1;
    if (fellBack) {
        // Longer than a status text may be: shown as it is, szStatus stays the link's.
        const std::string note =
            std::string("Program folder not writable: settings kept in ") + dir_name;
        ShowText(ST_PA, note.c_str());
    }

    const int connected = connectAtStartUp();
    InitGUI();

    DisplayPanel(pPA);
    DisplayPanel(pPara0);
    SetCtrlVal(pPA, PANEL_TAB_GENERAL, 1);
    DimmCalibElements(1);
    DimmSensorControlsWithoutPair();  // nothing may be sent without an accepted pair
    if (tsd_flag == 0) {
        SetActivePanel(pPA);
        SetActiveCtrl(pPA, PANEL_STOP);
    } else {
        SetCtrlVal(pPA, PANEL_TOUCH, 1);
        ShowTouchSurface();
        DisplayPanel(pTNum);
        // Without an identified sensor the touch operator gets the connection panel at once.
        if (connected != 1) {
            SetCtrlVal(pTSD, TSD_TOG_CONNECT, 1);
            DisplayPanel(pTConn);
        }
        SetCtrlVal(pTSD, TSD_TOG_NUM, 1);
        SetActivePanel(pTSD);
        SetActiveCtrl(pTSD, TSD_TOG_NUM);
    }

    OnTerminationSignal(onTerminationSignal);
    if (!options.screenshot.empty()) {
        const std::string path = options.screenshot;
        QTimer::singleShot(static_cast<int>(options.screenshotDelay * 1000.0),
                           [path] { takeScreenshot(path); });
    }
    if (options.run || options.video) {
        const bool video = options.video;
        QTimer::singleShot(0, [video] { PressAcquisitionButton(video); });
    } else if (options.record && tsd_flag == 0) {
        QTimer::singleShot(0, pressRecorderStart);
    }
    return 1;
}

void ShutdownProgram() {
    if (tcp_con > 0) DisconnectFromTCPServer(tcp_hconversation);
    tcp_con = 0;
    CloseCom(rs232port);
    DiscardAllPanels();
    CloseLinkLog();
    SetLinkView({});
}

int WinMain(const ProgramOptions &options) {
    if (StartProgram(options) < 0) return -1;
    RunUserInterface();
    ShutdownProgram();
    return exitStatus;
}

void CloseProgram(bool fromTouchPanel) {
    if (fromTouchPanel) SetCtrlAttribute(pTRec, TREC_TIMER, ATTR_ENABLED, 0);
    stop_flag = STOP_IDLE;
    exit_flag = 1;
    StopReconnecting();
    if (WriteIniFile(appini_pathname) < 0) exitStatus = EXIT_NOT_SAVED;
    if (comtype == 0) {
        FlushInQ(rs232port);
        FlushOutQ(rs232port);
    }
    QuitUserInterface(0);
}

void SwitchSurface(bool touch) {
    tsd_flag = touch ? 1 : 0;
    stop_flag = STOP_IDLE;
    if (touch) {
        ShowTouchSurface();
        DisplayPanel(pTNum);
    }
    SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 1);
    CC_BTNStop(pTSD, TSD_STOP, EVENT_COMMIT, nullptr, 0, 0);
    if (!touch) HidePanel(pTSD);
}

int CC_PANEL(int, int, int event, void *, int, int) {
    switch (event) {
        case EVENT_CLOSE:
            CloseProgram(false);
            break;
        case EVENT_RIGHT_DOUBLE_CLICK:
            RestoreMainPanel();
            break;
        case EVENT_PANEL_SIZE:
            for (int trace = 1; trace <= 7; ++trace)
                SetTraceAttribute(pPA, PANEL_STRIPCHART, trace, ATTR_TRACE_VISIBLE, 1);
            SetCtrlAttribute(pPA, PANEL_STRIPCHART, ATTR_NUM_TRACES, 7);
            break;
    }
    return 0;
}

int CC_TSDPANEL(int, int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) CloseProgram(true);
    if (event == EVENT_RIGHT_DOUBLE_CLICK) RestoreMainPanel();
    return 0;
}

int CC_TOGGBTNtouchpanel(int panel, int control, int event, void *, int, int) {
    if (event != EVENT_VAL_CHANGED) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    SwitchSurface(on != 0);
    return 0;
}
