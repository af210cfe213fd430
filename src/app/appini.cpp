#include "app/appini.h"

#include <algorithm>
#include <cstdio>

#include "ktav_panels.h"
#include "link/transport.h"
#include "params/appsettings.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"
#include "shared/state.h"

namespace {

AppSettings currentSettings() {
    AppSettings v;
    v.comtype = comtype;
    v.rs232port = rs232port;
    v.rs232baudrate = rs232baudrate;
    v.hostName = szIPhostName;
    v.portText = szPortNum;
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

void applyPlacement(const AppSettings &v) {
    if (v.panelMaximised.value_or(false)) {
        SetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, VAL_MAXIMIZE);
        return;
    }
    if (v.panelTop && v.panelLeft) SetPanelPos(pPA, *v.panelTop, *v.panelLeft);
    if (v.panelHeight && v.panelWidth) SetPanelSize(pPA, *v.panelHeight, *v.panelWidth);
}

}  // namespace

void ReadIniFile(const char *path) {
    AppSettings v = currentSettings();
    ReadAppSettings(path, v);
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

void WriteIniFile(const char *path) {
    GetCtrlVal(pConn, CONNECT_COMTYPE, &comtype);
    GetCtrlVal(pConn, CONNECT_COMPORT, &rs232port);
    GetCtrlVal(pConn, CONNECT_BAUDRATE, &rs232baudrate);
    GetCtrlVal(pConn, CONNECT_IPADDRESS, szIPhostName);
    GetCtrlVal(pConn, CONNECT_PORTNUM, szPortNum);

    AppSettings v = currentSettings();
    v.recentAddresses = addressList(pConn, CONNECT_IPADDRESS);
    int zoomed = VAL_NO_ZOOM, top = 0, left = 0, height = 0, width = 0;
    GetPanelAttribute(pPA, ATTR_WINDOW_ZOOM, &zoomed);
    GetPanelAttribute(pPA, ATTR_TOP, &top);
    GetPanelAttribute(pPA, ATTR_LEFT, &left);
    GetPanelAttribute(pPA, ATTR_HEIGHT, &height);
    GetPanelAttribute(pPA, ATTR_WIDTH, &width);
    v.panelMaximised = zoomed == VAL_MAXIMIZE;
    v.panelTop = top;
    v.panelLeft = left;
    v.panelHeight = height;
    v.panelWidth = width;
    v.touchSurface = tsd_flag == 1;
    v.zoom = zoom_flag == 1;
    WriteAppSettings(path, v);
}
