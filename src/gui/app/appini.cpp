#include "gui/app/appini.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "core/link/status.h"
#include "core/link/transport.h"
#include "core/params/appsettings.h"
#include "core/params/inifile.h"
#include "core/state/flags.h"
#include "gui/app/reconnect.h"
#include "gui/panels/handles.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// The audit section as the file gave it: the program uses it and writes it back unchanged.
std::optional<std::string> auditLogSetting;
std::optional<bool> auditOnSetting;

AppSettings currentSettings() {
    AppSettings v;
    v.comtype = comtype;
    v.rs232port = rs232port;
    v.rs232baudrate = rs232baudrate;
    v.hostName = szIPhostName;
    v.portText = szPortNum;
    v.auditLog = auditLogSetting;
    v.auditOn = auditOnSetting;
    v.reconnect = reconnect_flag == 1;
    return v;
}

void fillAddressList(int panel, int control, const std::vector<std::string> &addresses) {
    ClearListCtrl(panel, control);
    for (size_t i = 0; i < addresses.size(); ++i)
        InsertListItem(panel, control, -1, addresses[i].c_str(), static_cast<int>(i));
}

std::vector<std::string> addressList(int panel, int control) {
    std::vector<std::string> addresses;
    int count = 0;
    GetNumListItems(panel, control, &count);
    for (int i = 0; i < std::min(count, MAX_RECENT_ADDRESSES); ++i) {
        char label[HOST_TEXT_SIZE] = "";
        GetLabelFromIndex(panel, control, i, label, sizeof label);
        addresses.emplace_back(label);
    }
    return addresses;
}

struct Placement {
    int top, left, height, width;
};

Placement mainPanelPlacement() {
    Placement p{};
    GetPanelAttribute(pPA, ATTR_TOP, &p.top);
    GetPanelAttribute(pPA, ATTR_LEFT, &p.left);
    GetPanelAttribute(pPA, ATTR_HEIGHT, &p.height);
    GetPanelAttribute(pPA, ATTR_WIDTH, &p.width);
    return p;
}

// The main panel at least as large as designed, but no larger than the screen, and wholly on it.
Placement onScreen(Placement p) {
    p.height = std::max(p.height, MAIN_PANEL_HEIGHT);
    p.width = std::max(p.width, MAIN_PANEL_WIDTH);
    int screenHeight = 0, screenWidth = 0;
    if (GetScreenSize(&screenHeight, &screenWidth) != 0) return p;
    p.height = std::min(p.height, screenHeight);
    p.width = std::min(p.width, screenWidth);
    p.top = std::clamp(p.top, 0, screenHeight - p.height);
    p.left = std::clamp(p.left, 0, screenWidth - p.width);
    return p;
}

// A screen smaller than the main panel, which the panel then fills.
bool smallScreen() {
    int screenHeight = 0, screenWidth = 0;
    return GetScreenSize(&screenHeight, &screenWidth) == 0 &&
           (screenHeight < MAIN_PANEL_HEIGHT || screenWidth < MAIN_PANEL_WIDTH);
}

void applyPlacement(const AppSettings &v) {
    if (smallScreen()) {
        RestoreMainPanel();
        return;
    }
    if (v.panelMaximised.value_or(false)) {
        SetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE);
        return;
    }
    Placement p = mainPanelPlacement();
    if (v.panelTop && v.panelLeft) {
        p.top = *v.panelTop;
        p.left = *v.panelLeft;
    }
    if (v.panelHeight && v.panelWidth) {
        p.height = *v.panelHeight;
        p.width = *v.panelWidth;
    }
    p = onScreen(p);
    SetPanelPos(pPA, p.top, p.left);
    SetPanelSize(pPA, p.height, p.width);
}

}  // namespace

void RestoreMainPanel() {
    int screenHeight = MAIN_PANEL_HEIGHT, screenWidth = MAIN_PANEL_WIDTH;
    const bool known = GetScreenSize(&screenHeight, &screenWidth) == 0;
    const int height = std::min(MAIN_PANEL_HEIGHT, screenHeight);
    const int width = std::min(MAIN_PANEL_WIDTH, screenWidth);
    SetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, VAL_NO_ZOOM);
    SetPanelSize(pPA, height, width);
    if (known) SetPanelPos(pPA, (screenHeight - height) / 2, (screenWidth - width) / 2);
    // The window manager keeps a maximised window clear of its frame and panels.
    if (height < MAIN_PANEL_HEIGHT || width < MAIN_PANEL_WIDTH)
        SetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE);
}

void ReadIniFile(const char *path) {
    Ini_RemoveTemporaryFiles(path);
    AppSettings v = currentSettings();
    ReadAppSettings(path, v);
    auditLogSetting = v.auditLog;
    auditOnSetting = v.auditOn;
    ApplyAuditSettings(v);
    comtype = v.comtype;
    rs232port = v.rs232port;
    rs232baudrate = v.rs232baudrate;
    std::snprintf(szIPhostName, sizeof szIPhostName, "%s", v.hostName.c_str());
    std::snprintf(szPortNum, sizeof szPortNum, "%s", v.portText.c_str());
    // The start-up connection uses the stored port too, not only the connection dialog.
    tcp_portnum = TcpPortOfSettings(v);
    fillAddressList(pConn, CONNECT_IPADDRESS, v.recentAddresses);
    fillAddressList(pTConn, TCONN_IPADDRESS, v.recentAddresses);
    applyPlacement(v);
    if (v.touchSurface) tsd_flag = *v.touchSurface ? 1 : 0;
    reconnect_flag = v.reconnect ? 1 : 0;
    if (v.zoom) {
        zoom_flag = *v.zoom ? 1 : 0;
        SetCtrlVal(pPA, PANEL_ZOOM, zoom_flag);
        SetCtrlVal(pTGraph, TGRAPH_ZOOM, zoom_flag);
    }
    SetCtrlVal(pConn, CONNECT_COMTYPE, comtype);
    SetCtrlVal(pConn, CONNECT_COMPORT, rs232port);
    SetCtrlVal(pConn, CONNECT_BAUDRATE, rs232baudrate);
    SetCtrlVal(pConn, CONNECT_IPADDRESS, szIPhostName);
    SetCtrlVal(pConn, CONNECT_PORTNUM, szPortNum);
    SetCtrlVal(pTConn, TCONN_COMPORT, rs232port);
    SetCtrlVal(pTConn, TCONN_BAUDRATE, rs232baudrate);
}

int WriteIniFile(const char *path) {
    GetCtrlVal(pConn, CONNECT_COMTYPE, &comtype);
    GetCtrlVal(pConn, CONNECT_COMPORT, &rs232port);
    GetCtrlVal(pConn, CONNECT_BAUDRATE, &rs232baudrate);
    GetCtrlVal(pConn, CONNECT_IPADDRESS, szIPhostName);
    GetCtrlVal(pConn, CONNECT_PORTNUM, szPortNum);

    AppSettings v = currentSettings();
    v.recentAddresses = addressList(pConn, CONNECT_IPADDRESS);
    int zoomed = VAL_NO_ZOOM;
    GetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, &zoomed);
    // A panel that a small screen shrank, or that fills a small screen, is stored as designed.
    const bool small = smallScreen();
    v.panelMaximised = zoomed == VAL_MAXIMIZE && !small;
    const Placement shown = mainPanelPlacement();
    const Placement placed = onScreen(shown);
    v.panelTop = placed.top;
    v.panelLeft = placed.left;
    v.panelHeight = small ? MAIN_PANEL_HEIGHT : std::max(shown.height, MAIN_PANEL_HEIGHT);
    v.panelWidth = small ? MAIN_PANEL_WIDTH : std::max(shown.width, MAIN_PANEL_WIDTH);
    v.touchSurface = tsd_flag == 1;
    v.zoom = zoom_flag == 1;
    std::string whyNot;
    if (WriteAppSettings(path, v, &whyNot) == 0) return 0;
    // Longer than a status text may be: shown as it is, szStatus stays the link's.
    const std::string text = std::string("Settings not saved: ") + path + ": " + whyNot;
    ShowText(ST_PA | ST_TSD, text.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
    return -1;
}
