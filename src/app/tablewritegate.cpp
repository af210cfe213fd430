#include "app/tablewritegate.h"

#include <iterator>

#include "app/shell.h"
#include "calib/calibtransfer.h"
#include "ktav_panels.h"
#include "link/status.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"

namespace {

struct Control {
    const int &panel;
    int control;
};

// Sensor operations, STOP, the surface switch, the desktop tabs and touch views under which the
// progress would vanish, the connection controls, the recorder starts and the calibration
// pop-up's own transfer controls.
const Control kHeldControls[] = {
    {pPA, PANEL_RUN},
    {pPA, PANEL_STOP},
    {pPA, PANEL_VIDEO},
    {pPA, PANEL_TEACH},
    {pPA, PANEL_RESET},
    {pPA, PANEL_SEND},
    {pPA, PANEL_GET},
    {pPA, PANEL_CONNECT},
    {pPA, PANEL_TOUCH},
    {pPA, PANEL_TAB_GENERAL},
    {pPA, PANEL_TAB_MASTER},
    {pPA, PANEL_TAB_SLAVE},
    {pPA, PANEL_TAB_CALIB},
    {pPA, PANEL_TAB_RECORDER},
    {pTSD, TSD_RUN},
    {pTSD, TSD_STOP},
    {pTSD, TSD_VIDEO},
    {pTSD, TSD_TEACH},
    {pTSD, TSD_RESET},
    {pTSD, TSD_SEND},
    {pTSD, TSD_GET},
    {pTSD, TSD_EXIT},
    {pTSD, TSD_TOG_PARA0},
    {pTSD, TSD_TOG_PARA1},
    {pTSD, TSD_TOG_PARA2},
    {pTSD, TSD_TOG_NUM},
    {pTSD, TSD_TOG_GRAPH},
    {pTSD, TSD_TOG_RECORDER},
    {pTSD, TSD_TOG_CONNECT},
    {pConn, CONNECT_TRYCONNECT},
    {pConn, CONNECT_DISCONNECT},
    {pConn, CONNECT_CHANGEBAUD},
    {pConn, CONNECT_DISCARD},
    {pConn, CONNECT_ACCEPT},
    {pTConn, TCONN_TRYCONNECT},
    {pTConn, TCONN_DISCONNECT},
    {pTConn, TCONN_CHANGEBAUD},
    {pTConn, TCONN_DISCARD},
    {pTConn, TCONN_ACCEPT},
    {pRec, REC_START},
    {pTRec, TREC_START},
    {pCalib, CALIB_WRITE},
    {pCalib, CALIB_READ},
    {pCalib, CALIB_LOADFILE},
    {pCalib, CALIB_MASL},
    {pCalib, CALIB_LINMODE},
    {pCalib, CALIB_TYPE_A},
    {pCalib, CALIB_TYPE_B},
};

int savedDimmed[std::size(kHeldControls)];
bool closeHeld = false;
bool closeFromTouch = false;

bool isHeld(int panel, int control) {
    for (const Control &c : kHeldControls)
        if (c.panel == panel && c.control == control) return true;
    return false;
}

// Lets an event through unless a table write runs and it would disturb it. Help boxes (right
// click) and the panels' own size events stay available.
bool gate(int panel, int control, int event) {
    if (!TableWriteRunning()) return true;
    if (control == 0) {
        const bool mainPanel = panel == pPA || panel == pTSD;
        return !(mainPanel && event == EVENT_CLOSE && HoldCloseForTableWrite(panel == pTSD));
    }
    if (event == EVENT_RIGHT_CLICK || !isHeld(panel, control)) return true;
    ShowText(ST_ALL, "Writing the calibration table: wait until it is done!");
    return false;
}

// Dims the held controls while the write runs; afterwards each gets back the state it had, and
// a held close is carried out.
void onTableWrite(bool running) {
    for (size_t i = 0; i < std::size(kHeldControls); ++i) {
        const Control &c = kHeldControls[i];
        if (running) {
            savedDimmed[i] = 0;
            GetCtrlAttribute(c.panel, c.control, ATTR_DIMMED, &savedDimmed[i]);
        }
        SetCtrlAttribute(c.panel, c.control, ATTR_DIMMED, running ? 1 : savedDimmed[i]);
    }
    if (running || !closeHeld) return;
    closeHeld = false;
    ShowText(ST_ALL, "Calibration table write ended: closing as asked.");
    CloseProgram(closeFromTouch);
}

}  // namespace

void InstallTableWriteGate() {
    SetDispatchGate(gate);
    SetTableWriteView(onTableWrite);
}

bool HoldCloseForTableWrite(bool fromTouchPanel) {
    if (!TableWriteRunning()) return false;
    closeHeld = true;
    closeFromTouch = fromTouchPanel;
    ShowText(ST_ALL, "Writing the calibration table: closing when it is done.");
    return true;
}
