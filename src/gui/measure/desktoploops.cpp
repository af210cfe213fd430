#include "gui/measure/desktoploops.h"

#include <initializer_list>

#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/measure/acquisition.h"
#include "core/params/profiles.h"
#include "core/state/flags.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/panelmap.h"
#include "gui/params/settingsview.h"
#include "gui/params/videocurves.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

void drawRunCycle() {
    PlotVIDEOBarGraph();
    PlotRAWGraph();
}

void drawVideoCycle() {
    PlotVIDEOBarGraph();
    PlotVIDEOCurveA(adbuf, thdArrayA, xArray8);
    PlotVIDEOCurveB(adbuf + MAXPOINT, thdArrayB, xArray8);
}

}  // namespace

void PushRUN() {
    SetCtrlsAttribute(
        pPA, {PANEL_STRIPCHART, PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE, PANEL_ZOOM, PANEL_GTYPE},
        ATTR_VISIBLE, 1);
    SetCtrlsAttribute(pPA, {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE}, ATTR_VISIBLE, 0);
    SetCtrlAttribute(pRec, REC_START, ATTR_DIMMED, 1);
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_GET}, ATTR_DIMMED, 1);
    RunCycles({ST_PA, drawRunCycle, RequestOrder::Run, PushSTOP, ShowGET, ShowTEACH,
               ShowRecordNotCurrent});
}

void PushVIDEO() {
    SetCtrlsAttribute(pPA, {PANEL_STRIPCHART, PANEL_GTYPE, PANEL_ZOOM}, ATTR_VISIBLE, 0);
    SetCtrlsAttribute(pPA, {PANEL_VIDEO_MASTER, PANEL_VIDEO_SLAVE}, ATTR_VISIBLE, 1);
    SetCtrlsAttribute(pPA, {PANEL_RUN, PANEL_VIDEO, PANEL_GET}, ATTR_DIMMED, 1);
    VideoCycles({ST_PA, drawVideoCycle, RequestOrder::Video, PushSTOP, ShowGET, ShowTEACH,
                 ShowRecordNotCurrent});
}

void PushSTOP() {
    SetCtrlsAttribute(pPA, {PANEL_SEND, PANEL_GET, PANEL_RUN, PANEL_STOP, PANEL_VIDEO, PANEL_TEACH},
                      ATTR_DIMMED, 0);
    DimmSensorControlsWithoutPair();
    SetStatus(stop_flag == STOP_TIMEOUT ? "Timeout RS232 Line!" : "Data-Transfer Stopped!");
    ShowStatus(ST_PA);
    if (stop_flag == STOP_RUNNING) stop_flag = STOP_IDLE;
}
