#include "gui/touch/navigation.h"

#include <initializer_list>

#include "core/link/status.h"
#include "core/measure/recorder.h"
#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "gui/touch/touchrecorder.h"
#include "gui/touch/touchstop.h"
#include "ktav_panels.h"

namespace {

constexpr int kLightGreen = 0xA0DC42;
constexpr int kIdleGrey = 0xE0E0E0;

constexpr int kPanelToggles[] = {TSD_TOG_PARA0, TSD_TOG_PARA1,    TSD_TOG_PARA2,  TSD_TOG_NUM,
                                 TSD_TOG_GRAPH, TSD_TOG_RECORDER, TSD_TOG_CONNECT};

// What a panel toggle's commit shows and hides. PARA2 and RECORDER leave the video panel
// where it is, so it stays displayed underneath.
struct PanelView {
    int toggle;
    std::initializer_list<int *> shows, hides;
};
const PanelView kViews[] = {
    {TSD_TOG_PARA0,
     {&pTPara0},
     {&pTPara1, &pTPara2, &pTNum, &pTMval, &pTGraph, &pTVideo, &pTRec, &pTConn}},
    {TSD_TOG_PARA1,
     {&pTPara1},
     {&pTPara0, &pTPara2, &pTNum, &pTMval, &pTGraph, &pTVideo, &pTRec, &pTConn}},
    {TSD_TOG_PARA2, {&pTPara2}, {&pTPara0, &pTPara1, &pTNum, &pTMval, &pTGraph, &pTRec, &pTConn}},
    {TSD_TOG_NUM,
     {&pTNum},
     {&pTGraph, &pTMval, &pTVideo, &pTPara0, &pTPara1, &pTPara2, &pTRec, &pTConn}},
    {TSD_TOG_GRAPH,
     {&pTGraph, &pTMval},
     {&pTPara0, &pTPara1, &pTPara2, &pTNum, &pTVideo, &pTRec, &pTConn}},
    {TSD_TOG_RECORDER,
     {&pTRec},
     {&pTMval, &pTNum, &pTGraph, &pTPara0, &pTPara1, &pTPara2, &pTConn}},
};

bool runActive() {
    return stop_flag == STOP_RUNNING && video_flag == 0;
}

bool videoActive() {
    return stop_flag == STOP_RUNNING && video_flag == 1;
}

void otherTogglesOff(int toggle) {
    for (int other : kPanelToggles)
        if (other != toggle) SetCtrlVal(pTSD, other, 0);
}

// Leaving the video view stops VIDEO as the STOP button does.
void stopVideo() {
    if (!videoActive()) return;
    stop_flag = STOP_IDLE;
    StopTouchLoop();
}

// Left click on PARA0, PARA1, PARA2, NUM or GRAPH: a running RUN goes on, VIDEO stops.
void viewChosen(int toggle) {
    DimmTSD_RUNSTOPVIDEObuttons(0);
    if (runActive()) {
        SetCtrlsAttribute(pTSD, {TSD_RUN, TSD_VIDEO, TSD_GET}, ATTR_DIMMED, 1);
        SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kLightGreen);
    } else {
        SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 1);
    }
    if (videoActive()) return stopVideo();
    if (toggle == TSD_TOG_NUM) {
        SetCtrlAttribute(pTNum, TNUM_MEASVALUE, ATTR_TEXT_BGCOLOR, 0x484848);
        for (int lamp : {TNUM_LED_INTOL, TNUM_LED_ABOVE, TNUM_LED_BELOW})
            SetCtrlVal(pTNum, lamp, 0);
    }
    if (toggle == TSD_TOG_GRAPH) {
        SetCtrlAttribute(pTMval, TMVAL_MEASVALUE, ATTR_TEXT_BGCOLOR, 0xA0A0A0);
        SetCtrlAttribute(pTMval, TMVAL_POS_VALUE, ATTR_TEXT_BGCOLOR, 0xA0A0A0);
    }
}

// Left click on RECORDER: no acquisition runs beside the recorder panel; a running RUN ends
// after its cycle.
void recorderChosen() {
    stopVideo();
    DimmTSD_RUNSTOPVIDEObuttons(1);
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_DIMMED, TouchRecorderActive());
    stop_flag = STOP_IDLE;
}

void showView(const PanelView &view) {
    SetCtrlVal(pTSD, view.toggle, 1);
    for (int *panel : view.shows) DisplayPanel(*panel);
    for (int *panel : view.hides) HidePanel(*panel);
}

int panelToggle(int toggle, int event) {
    const PanelView *view = nullptr;
    for (const PanelView &v : kViews)
        if (v.toggle == toggle) view = &v;
    if (event == EVENT_LEFT_CLICK) {
        otherTogglesOff(toggle);
        if (toggle == TSD_TOG_RECORDER)
            recorderChosen();
        else
            viewChosen(toggle);
    }
    if (event == EVENT_COMMIT) {
        showView(*view);
        if (toggle == TSD_TOG_RECORDER) ShowText(ST_TSD, TouchRecorderState());
    }
    return 0;
}

}  // namespace

int CC_TTOGG_Para0(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}
int CC_TTOGG_Para1(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}
int CC_TTOGG_Para2(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}
int CC_TTOGG_Num(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}
int CC_TTOGG_Graph(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}
int CC_TTOGG_Recorder(int, int control, int event, void *, int, int) {
    return panelToggle(control, event);
}

int CC_TTOGG_Connect(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK) {
        otherTogglesOff(control);
        if (stop_flag == STOP_RUNNING) StopTouchLoop();
        stop_flag = STOP_IDLE;
        SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kIdleGrey);
    }
    if (event == EVENT_COMMIT) {
        // The press toggled it: off now means it was on already, and it stays on.
        int on = 0;
        GetCtrlVal(panel, control, &on);
        SetCtrlVal(panel, control, 1);
        if (!on) return 0;
        DisplayPanel(pTConn);
        SetCtrlAttribute(pTConn, TCONN_ACCEPT, ATTR_DIMMED, 1);
        SetCtrlAttribute(pTConn, TCONN_TRYCONNECT, ATTR_DIMMED, 0);
    }
    return 0;
}

int CC_BTNexittouch(int, int, int event, void *, int, int) {
    if (event == EVENT_LEFT_CLICK && stop_flag != STOP_IDLE) StopTouchLoop();
    if (event != EVENT_COMMIT) return 0;
    tsd_flag = 0;
    stop_flag = STOP_IDLE;
    SetCtrlVal(pPA, PANEL_TOUCH, 0);
    for (int toggle : {TSD_TOG_KEYBOARD, TSD_TOG_PARA0, TSD_TOG_PARA1, TSD_TOG_PARA2, TSD_TOG_GRAPH,
                       TSD_TOG_RECORDER, TSD_TOG_CONNECT})
        SetCtrlVal(pTSD, toggle, 0);
    SetCtrlVal(pTSD, TSD_TOG_NUM, 1);
    SetCtrlAttribute(pTSD, TSD_RUN, ATTR_TEXT_BGCOLOR, kIdleGrey);
    SetCtrlAttribute(pTSD, TSD_EXIT, ATTR_VISIBLE, 1);
    for (int panel : {pTPara0, pTPara1, pTPara2, pTGraph, pTVideo, pTRec, pTNum, pTSD})
        HidePanel(panel);
    return 0;
}
