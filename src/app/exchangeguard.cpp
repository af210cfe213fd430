#include "app/exchangeguard.h"

#include <iterator>

#include "ktav_panels.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"
#include "shared/state.h"

namespace {

struct Control {
    const int &panel;
    int control;
};

// RUN, VIDEO, TEACH, RESET, SEND, GET and CONNECT of both main panels, the connection
// dialogs' connect, disconnect, baud-rate and discard buttons, the recorder starts and the
// calibration pop-up's write, read and linearisation controls.
const Control kSensorControls[] = {
    {pPA, PANEL_RUN},
    {pPA, PANEL_VIDEO},
    {pPA, PANEL_TEACH},
    {pPA, PANEL_RESET},
    {pPA, PANEL_SEND},
    {pPA, PANEL_GET},
    {pPA, PANEL_CONNECT},
    {pTSD, TSD_RUN},
    {pTSD, TSD_VIDEO},
    {pTSD, TSD_TEACH},
    {pTSD, TSD_RESET},
    {pTSD, TSD_SEND},
    {pTSD, TSD_GET},
    {pTSD, TSD_TOG_CONNECT},
    {pConn, CONNECT_TRYCONNECT},
    {pConn, CONNECT_DISCONNECT},
    {pConn, CONNECT_CHANGEBAUD},
    {pConn, CONNECT_DISCARD},
    {pTConn, TCONN_TRYCONNECT},
    {pTConn, TCONN_DISCONNECT},
    {pTConn, TCONN_CHANGEBAUD},
    {pTConn, TCONN_DISCARD},
    {pRec, REC_START},
    {pTRec, TREC_START},
    {pCalib, CALIB_WRITE},
    {pCalib, CALIB_READ},
    {pCalib, CALIB_LINMODE},
};

int savedDimmed[std::size(kSensorControls)];
bool guarding = false;

}  // namespace

void GuardExchange(bool waiting) {
    if (waiting) {
        guarding = stop_flag != 0;  // a loop's exchanges leave presses as requests
        if (!guarding) return;
        for (size_t i = 0; i < std::size(kSensorControls); ++i) {
            const Control &c = kSensorControls[i];
            savedDimmed[i] = 0;
            GetCtrlAttribute(c.panel, c.control, ATTR_DIMMED, &savedDimmed[i]);
            SetCtrlAttribute(c.panel, c.control, ATTR_DIMMED, 1);
        }
        return;
    }
    if (!guarding) return;
    guarding = false;
    for (size_t i = 0; i < std::size(kSensorControls); ++i)
        SetCtrlAttribute(kSensorControls[i].panel, kSensorControls[i].control, ATTR_DIMMED,
                         savedDimmed[i]);
}
