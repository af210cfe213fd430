#include "gui/app/conndialog.h"

#include <cstdint>
#include <string>

#include "core/link/commands.h"
#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/measure/acquisition.h"
#include "core/params/appsettings.h"
#include "core/state/flags.h"
#include "core/state/programdir.h"
#include "core/system/serial.h"
#include "core/system/timing.h"
#include "gui/app/appini.h"
#include "gui/app/identityview.h"
#include "gui/app/reconnect.h"
#include "gui/app/shell.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"
#include "wire/wire.h"

char szIPaddress[IP_ADDRESS_SIZE];
char szIPportnum[IP_PORTNUM_SIZE];

namespace {

// One surface's connection dialog.
struct Surface {
    const int &panel;
    int comType, comPort, baudRate, ipAddress, portNum, tryConnect, msgBox;
    unsigned statusFields;  // where the dialog's own texts are shown
};

const Surface desktop{
    .panel = pConn,
    .comType = CONNECT_COMTYPE,
    .comPort = CONNECT_COMPORT,
    .baudRate = CONNECT_BAUDRATE,
    .ipAddress = CONNECT_IPADDRESS,
    .portNum = CONNECT_PORTNUM,
    .tryConnect = CONNECT_TRYCONNECT,
    .msgBox = CONNECT_MSGBOX,
    .statusFields = ST_PA,
};

const Surface touch{
    .panel = pTConn,
    .comType = TCONN_COMTYPE,
    .comPort = TCONN_COMPORT,
    .baudRate = TCONN_BAUDRATE,
    .ipAddress = TCONN_IPADDRESS,
    .portNum = TCONN_PORTNUM,
    .tryConnect = TCONN_TRYCONNECT,
    .msgBox = TCONN_MSGBOX,
    .statusFields = ST_TSD | ST_TCONN,
};

const Surface &surfaceOf(int panel) {
    return panel == pTConn ? touch : desktop;
}
const Surface &otherOf(const Surface &s) {
    return &s == &touch ? desktop : touch;
}

constexpr const char *kConnectHelp =
    "CONNECT BUTTON:\nOutputs a serial data-frame to sensor and\nwaiting for an echo! The "
    "data-frame is sent\nwith the preset baudrate and TCP/RS232 port number.";
constexpr const char *kAcceptHelp =
    "ACCEPT COM SETTINGS BUTTON:\nExit the CONNECT-popup-window !\nStore actual settings for "
    "baudrate and com port number.";
constexpr const char *kComTypeHelp =
    "COMUNICATION PROTOCOL:\nSelect the type of the data-transfer:\nRS-232: 3-wire serial "
    "RS-232 interface. \nTCP/IP: data transfer via network protocol.";

// Shows or hides the pop-up's help box with `text`.
void toggleHelp(const char *text) {
    int visible = 0;
    GetCtrlAttribute(pConn, CONNECT_HELP, ATTR_VISIBLE, &visible);
    ResetTextBox(pConn, CONNECT_HELP, text);
    SetCtrlAttribute(pConn, CONNECT_HELP, ATTR_VISIBLE, visible ? 0 : 1);
}

void appendLine(const Surface &s, const char *text) {
    SetCtrlVal(s.panel, s.msgBox, (std::string(text) + "\n").c_str());
}

// A text on the surface's status fields and as a line of its message box.
void report(const Surface &s, const char *text) {
    ShowText(s.statusFields, text);
    appendLine(s, text);
}

void dimAccept(bool dimmed) {
    SetCtrlAttribute(pConn, CONNECT_ACCEPT, ATTR_DIMMED, dimmed ? 1 : 0);
    SetCtrlAttribute(pTConn, TCONN_ACCEPT, ATTR_DIMMED, dimmed ? 1 : 0);
}

// Closes the serial port rs232port names, open or not.
void closeSerial() {
    CloseRS232();
    if (rs232_con > 0) rs232_con = 0;
}

void showDialogValues(const Surface &s) {
    SetCtrlVal(s.panel, s.comType, comtype);
    SetCtrlVal(s.panel, s.comPort, rs232port);
    SetCtrlVal(s.panel, s.baudRate, rs232baudrate);
    SetCtrlVal(s.panel, s.ipAddress, szIPhostName);
    SetCtrlVal(s.panel, s.portNum, szPortNum);
}

// Port number and baud-rate index from the dialog. rs232port always names the open port, so
// another number closes that port first rather than leave it open behind the program's back.
void takeSerialSettings(const Surface &s) {
    int port = rs232port;
    GetCtrlVal(s.panel, s.comPort, &port);
    if (port != rs232port) closeSerial();
    rs232port = port;
    GetCtrlVal(s.panel, s.baudRate, &rs232baudrate);
    showDialogValues(otherOf(s));
}

// Every transport setting from the dialog; the other dialog shows the same afterwards, and the
// settings file (written from the desktop dialog) stores what the touch operator chose.
void takeDialogValues(const Surface &s) {
    GetCtrlVal(s.panel, s.comType, &comtype);
    GetCtrlVal(s.panel, s.ipAddress, szIPhostName);
    GetCtrlVal(s.panel, s.portNum, szPortNum);
    takeSerialSettings(s);
}

// The failure text of the open in the message box, with the entry at fault where it is one.
void logOpenFailure(const Surface &s) {
    appendLine(s, szStatus);
    if (comtype == 0) return;
    if (!*szIPhostName) appendLine(s, "No IP address entered!");
    if (tcp_portnum == 0) appendLine(s, "The TCP port number is not a number from 1 to 65535!");
}

void connect(const Surface &s) {
    stop_flag = STOP_IDLE;
    StopReconnecting();
    CloseLink();
    report(s, "TRY TO CONNECT! ...");
    takeDialogValues(s);
    ProcessSystemEvents();
    tcp_portnum = PortNumberOfText(szPortNum);
    ShowTransportFields(comtype);
    if (!OpenLink()) {
        // No device behind the closed link: nothing may be sent until a connect succeeds.
        ForgetDevice();
        DimmSensorControls(1);
        logOpenFailure(s);
        dimAccept(false);
        return;
    }
    // A device of another series is identified too, but its sensor controls stay dimmed.
    if (InitDataExchange() != 1) return;
    dimAccept(false);
    InitGUI();
}

// DISCONNECT and DISCARD: no device behind the closed link, so nothing may be sent until a
// connect identifies one again.
void dropDevice() {
    StopReconnecting();
    CloseLink();
    ForgetDevice();
    DimmSensorControls(1);
}

void disconnect(const Surface &s) {
    stop_flag = STOP_IDLE;
    dropDevice();
    takeSerialSettings(s);
    SetStatus("SENSOR DISCONNECTED!");
    report(s, szStatus);
    dimAccept(true);
}

// Order 190 asks the sensor for the new speed; it answers at the old one and then switches,
// and the port follows. Returns false when the sensor did not take the order.
bool sendBaudRateOrder(const Surface &s, int oldIndex) {
    if (comtype != 0) {
        SetStatus("Baudrate-change: RS-232 only!");
        return false;
    }
    if (PushBAUDRATE(oldIndex, rs232baudrate) != 1) return false;
    report(s, "Baudrate-change OK!");
    rs232_con = InitRS232(rs232port, rs232baudrate);
    if (rs232_con == 1) {
        SetCtrlAttribute(s.panel, s.tryConnect, ATTR_DIMMED, 0);
        SetStatus("Baudrate-change OK!");
    }
    return true;
}

void changeBaudRate(const Surface &s) {
    const int oldIndex = rs232baudrate;
    takeSerialSettings(s);
    if (!sendBaudRateOrder(s, oldIndex)) {
        // Both sides keep the old speed: the rings show it, so ACCEPT stores a speed that works.
        rs232baudrate = oldIndex;
        showDialogValues(desktop);
        showDialogValues(touch);
    }
    report(s, szStatus);
}

void closeDialogs() {
    SetCtrlVal(pPA, PANEL_CONNECT, 0);
    SetCtrlVal(pTSD, TSD_TOG_CONNECT, 0);
    HidePanel(pConn);
    HidePanel(pTConn);
    if (DeviceAccepted()) DimmButtons(0);
}

void accept(const Surface &s) {
    if (&s == &desktop) {
        GetCtrlVal(pConn, CONNECT_COMTYPE, &comtype);
        SetCtrlAttribute(pConn, CONNECT_HELP, ATTR_VISIBLE, 0);
    }
    takeSerialSettings(s);
    GetCtrlVal(s.panel, s.ipAddress, szIPaddress);
    GetCtrlVal(s.panel, s.portNum, szIPportnum);
    WriteIniFile(appini_pathname);
    closeDialogs();
}

void discard(const Surface &s) {
    stop_flag = STOP_IDLE;
    dropDevice();
    takeSerialSettings(s);
    SetStatus("SENSOR DISCONNECTED!");
    ShowStatus(ST_ALL);
    closeDialogs();
}

void chooseTransport(const Surface &s) {
    int tcp = 0;
    GetCtrlVal(s.panel, s.comType, &tcp);
    comtype = tcp == 0 ? 0 : 1;
    SetCtrlVal(otherOf(s).panel, otherOf(s).comType, comtype);
    ShowTransportFields(comtype);
}

// Puts `address` at the top of a recent-address list: no duplicates, at most ten entries.
void putOnTop(int panel, int control, const char *address) {
    int index = -1;
    GetIndexFromLabel(panel, control, &index, address);
    if (index >= 0) DeleteListItem(panel, control, index, 1);
    InsertListItem(panel, control, 0, address, 0);
    int count = 0;
    GetNumListItems(panel, control, &count);
    if (count > MAX_RECENT_ADDRESSES) DeleteListItem(panel, control, MAX_RECENT_ADDRESSES, -1);
    SetCtrlVal(panel, control, address);  // the list changes may have replaced the entry's text
}

void enterAddress(const Surface &s) {
    dimAccept(true);  // a changed address must be connected before it can be accepted
    GetCtrlVal(s.panel, s.ipAddress, szIPaddress);
    if (!*szIPaddress) return;  // an empty entry is no address to remember
    putOnTop(pConn, CONNECT_IPADDRESS, szIPaddress);
    putOnTop(pTConn, TCONN_IPADDRESS, szIPaddress);
}

void enterPortText(const Surface &s) {
    dimAccept(true);
    char text[HOST_TEXT_SIZE] = "";
    GetCtrlVal(s.panel, s.portNum, text);
    SetCtrlVal(otherOf(s).panel, otherOf(s).portNum, text);
}

}  // namespace

bool OpenLink() {
    if (comtype != 0) return InitTCP_IP() == 1;
    rs232_con = InitRS232(rs232port, rs232baudrate);
    FlushInQ(rs232port);
    FlushOutQ(rs232port);
    return rs232_con == 1;
}

void CloseLink() {
    closeSerial();
    CloseTCP();
}

int CC_CBTNTryToConnect(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event == EVENT_RIGHT_CLICK) toggleHelp(kConnectHelp);
    if (event == EVENT_COMMIT) WhenLoopEnded([] { connect(desktop); });
    return 0;
}

int CC_TSD_CBTNTryToConnect(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event == EVENT_COMMIT) WhenLoopEnded([] { connect(touch); });
    return 0;
}

int CC_CBTNDisconnect(int panel, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event == EVENT_COMMIT) WhenLoopEnded([panel] { disconnect(surfaceOf(panel)); });
    return 0;
}

int CC_CBTNChangeBaudRate(int panel, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        stop_flag = STOP_IDLE;
        report(surfaceOf(panel), "Try to change baudrate...");
    }
    if (event == EVENT_COMMIT) WhenLoopEnded([panel] { changeBaudRate(surfaceOf(panel)); });
    return 0;
}

int CC_CBTNAcceptComSetting(int panel, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event == EVENT_RIGHT_CLICK && panel == pConn) toggleHelp(kAcceptHelp);
    if (event == EVENT_COMMIT) accept(surfaceOf(panel));
    return 0;
}

int CC_CBTNDiscardComSetting(int panel, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    if (event == EVENT_COMMIT) WhenLoopEnded([panel] { discard(surfaceOf(panel)); });
    return 0;
}

int CC_DROPComType(int, int, int event, void *, int, int) {
    if (event == EVENT_RIGHT_CLICK) toggleHelp(kComTypeHelp);
    if (event == EVENT_COMMIT) chooseTransport(desktop);
    return 0;
}

int CC_TSD_DROPComType(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) chooseTransport(touch);
    return 0;
}

int CC_EDITIpAdress(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) enterAddress(surfaceOf(panel));
    return 0;
}

int CBF_StringPortNumber(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) enterPortText(surfaceOf(panel));
    return 0;
}

int CC_CBTNGenerateHWInfoFile(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) stop_flag = STOP_IDLE;
    return 0;
}

int CC_NUMrs232comport(int, int, int, void *, int, int) {
    return 0;
}

int CC_DROPBaudRate(int, int, int, void *, int, int) {
    return 0;
}

int CC_HelpText3(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK || event == EVENT_RIGHT_CLICK)
        SetCtrlAttribute(pConn, CONNECT_HELP, ATTR_VISIBLE, 0);
    return 0;
}

void BindConnectionCallbacks() {
    static const CallbackBinding desktopTable[] = {
        {CONNECT_COMTYPE, CC_DROPComType},           {CONNECT_COMPORT, CC_NUMrs232comport},
        {CONNECT_BAUDRATE, CC_DROPBaudRate},         {CONNECT_IPADDRESS, CC_EDITIpAdress},
        {CONNECT_PORTNUM, CBF_StringPortNumber},     {CONNECT_TRYCONNECT, CC_CBTNTryToConnect},
        {CONNECT_DISCONNECT, CC_CBTNDisconnect},     {CONNECT_CHANGEBAUD, CC_CBTNChangeBaudRate},
        {CONNECT_HWINFO, CC_CBTNGenerateHWInfoFile}, {CONNECT_ACCEPT, CC_CBTNAcceptComSetting},
        {CONNECT_DISCARD, CC_CBTNDiscardComSetting}, {CONNECT_HELP, CC_HelpText3},
    };
    static const CallbackBinding touchTable[] = {
        {TCONN_COMTYPE, CC_TSD_DROPComType},     {TCONN_COMPORT, CC_NUMrs232comport},
        {TCONN_BAUDRATE, CC_DROPBaudRate},       {TCONN_IPADDRESS, CC_EDITIpAdress},
        {TCONN_PORTNUM, CBF_StringPortNumber},   {TCONN_TRYCONNECT, CC_TSD_CBTNTryToConnect},
        {TCONN_DISCONNECT, CC_CBTNDisconnect},   {TCONN_CHANGEBAUD, CC_CBTNChangeBaudRate},
        {TCONN_ACCEPT, CC_CBTNAcceptComSetting}, {TCONN_DISCARD, CC_CBTNDiscardComSetting},
    };
    BindCallbacks(pConn, desktopTable);
    BindCallbacks(pTConn, touchTable);
}
