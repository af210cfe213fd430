#include "params/teach.h"

#include "ktav_panels.h"
#include "link/frame.h"
#include "link/status.h"
#include "link/transport.h"
#include "params/panelmap.h"
#include "params/paramblock.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"
#include "shared/state.h"

namespace {

// Cursor 1 (top) and cursor 2 (bottom) of each position graph mark the teach positions.
void moveTeachCursors() {
    const int panel = tsd_flag ? pTSD : pPA;
    const int graphA = tsd_flag ? TSD_GRAPH_MASTER : PANEL_GRAPH_MASTER;
    const int graphB = tsd_flag ? TSD_GRAPH_SLAVE : PANEL_GRAPH_SLAVE;
    SetGraphCursor(panel, graphA, 1, teach.posA, 0.75);
    SetGraphCursor(panel, graphB, 1, teach.posB, 0.75);
    SetGraphCursor(panel, graphA, 2, teach.posA, 0.25);
    SetGraphCursor(panel, graphB, 2, teach.posB, 0.25);
}

}  // namespace

int PushTEACH() {
    SetStatus("TEACH new setpoint value ...");
    FillTxBuf(ORD_TEACH, 0, nullptr, 0);
    const bool ok = DataExchange(FRAME_HEADER_SIZE) == 1 && TakeReplyData(&teach, sizeof teach);
    if (ok) {
        moveTeachCursors();
        AppendStatus(" -> Ok!");
    } else {
        SetTransportFailure("Teach-Error:");
    }
    ShowStatus(ST_PA | ST_TSD);
    // The block always takes the teach record, after a failure the previous one.
    para.ma.teachValue = teach.posA;
    para.sl.teachValue = teach.posB;
    para.ma.umTeachValue = teach.umA;
    para.sl.umTeachValue = teach.umB;
    SetPanelValues();
    return ok ? 0 : -1;
}
