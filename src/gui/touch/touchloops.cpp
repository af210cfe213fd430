#include "gui/touch/touchloops.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

#include "core/link/commands.h"
#include "core/link/identity.h"
#include "core/link/status.h"
#include "core/measure/acquisition.h"
#include "core/measure/evaluation.h"
#include "core/measure/recorder.h"
#include "core/params/profiles.h"
#include "core/state/flags.h"
#include "gui/measure/desktoploops.h"
#include "gui/measure/displays.h"
#include "gui/panels/handles.h"
#include "gui/params/panelmap.h"
#include "gui/params/videocurves.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchdisplays.h"
#include "gui/touch/touchrecorder.h"
#include "gui/touch/touchstop.h"
#include "ktav_panels.h"

namespace {

constexpr int kLightGreen = 0xA0DC42;
constexpr int kStatusGrey = 0xF0F0F0;

constexpr int kPanelToggles[] = {TSD_TOG_PARA0, TSD_TOG_PARA1,    TSD_TOG_PARA2,  TSD_TOG_NUM,
                                 TSD_TOG_GRAPH, TSD_TOG_RECORDER, TSD_TOG_CONNECT};

int toggleValue(int toggle) {
    int on = 0;
    GetCtrlVal(pTSD, toggle, &on);
    return on;
}

// NUM on: the numeric panel; else GRAPH on: graph and measured values; neither: NUM.
void openRunView() {
    HidePanel(pTRec);
    if (!toggleValue(TSD_TOG_NUM) && toggleValue(TSD_TOG_GRAPH)) {
        DisplayPanel(pTGraph);
        DisplayPanel(pTMval);
        return;
    }
    SetCtrlVal(pTSD, TSD_TOG_NUM, 1);
    DisplayPanel(pTNum);
    HidePanel(pTMval);
}

// The recorder-active lamps are green while the touch recorder's timer runs, else hidden.
void showRecorderLamps() {
    const int running = tmr_flag == 1;
    for (auto [panel, lamp] : {std::pair{pTSD, TSD_RECLED}, std::pair{pTRec, TREC_RECLED}}) {
        SetCtrlAttribute(panel, lamp, ATTR_VISIBLE, running);
        if (!running) continue;
        SetCtrlAttribute(panel, lamp, ATTR_ON_COLOR, kLightGreen);
        SetCtrlVal(panel, lamp, 1);
    }
}

// How a touch loop leaves the surface. After a time-out its text stays and the buttons are as
// after STOP. Otherwise the status line says that the transfer has stopped, the measured values
// keep what they show, in their idle colours, and the buttons are as after STOP unless the
// recorder view, which ended the loop, holds them dimmed; its state text follows.
void loopEnded() {
    video_flag = 0;
    if (stop_flag == STOP_TIMEOUT) return RestoreTouchButtons();
    ShowTouchIdleColours();
    if (!toggleValue(TSD_TOG_RECORDER)) {
        RestoreTouchButtons();
        return ShowText(ST_TSD, TOUCH_STOPPED_TEXT);
    }
    char text[STATUS_SIZE];
    std::snprintf(text, sizeof text, "%s %s", TOUCH_STOPPED_TEXT, TouchRecorderState());
    ShowText(ST_TSD, text);
}

void runEnded() {
    PushSTOP();
    loopEnded();
}

void drawRunCycle() {
    PlotTSD_VIDEOBarGraph();
    PlotTSD_RAWGraph();
}

void drawVideoCycle() {
    const double pixels = PixelCount();
    SetAxisScalingMode(pTVideo, TVIDEO_VIDEO_MASTER, VAL_XAXIS, VAL_MANUAL, 1.0, pixels);
    SetAxisScalingMode(pTVideo, TVIDEO_VIDEO_SLAVE, VAL_XAXIS, VAL_MANUAL, 1.0, pixels);
    PlotVIDEOCurveA(adbuf, thdArrayA, xArray8);
    PlotVIDEOCurveB(adbuf + MAXPOINT, thdArrayB, xArray8);
    PlotTSD_VIDEOBarGraph();
}

}  // namespace

void PushTSD_RUN() {
    for (int lamp : {TNUM_LED_INTOL, TNUM_LED_ABOVE, TNUM_LED_BELOW}) SetCtrlVal(pTNum, lamp, 0);
    openRunView();
    showRecorderLamps();
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(pTSD, TSD_STATUS, ATTR_TEXT_BGCOLOR, kStatusGrey);
    SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kLightGreen);
    SetCtrlsAttribute(pTSD, {TSD_RUN, TSD_VIDEO, TSD_GET}, ATTR_DIMMED, 1);
    SetCtrlAttribute(pTGraph, TGRAPH_ZOOM, ATTR_VISIBLE, 1);
    RunCycles({ST_TSD, drawRunCycle, RequestOrder::Touch, runEnded, ShowGET, ShowTEACH,
               ShowRecordNotCurrent});
}

void PushTSD_VIDEO() {
    for (int toggle : kPanelToggles) SetCtrlVal(pTSD, toggle, 0);
    for (int panel : {pTNum, pTRec, pTPara0, pTPara1, pTPara2, pTConn}) HidePanel(panel);
    DisplayPanel(pTVideo);
    DisplayPanel(pTMval);
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 0);
    SetCtrlAttribute(pTSD, TSD_STATUS, ATTR_TEXT_BGCOLOR, kStatusGrey);
    SetCtrlAttribute(pTSD, TSD_VIDEO, ATTR_TEXT_BGCOLOR, kLightGreen);
    SetCtrlsAttribute(pTSD, {TSD_VIDEO, TSD_RUN, TSD_GET, TSD_RAM, TSD_EEPROM}, ATTR_DIMMED, 1);
    timeout_flag = 0;
    VideoCycles({ST_TSD, drawVideoCycle, RequestOrder::Touch, loopEnded, ShowGET, ShowTEACH,
                 ShowRecordNotCurrent});
}
