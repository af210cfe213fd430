#include "gui/touch/touchscreen.h"

#include <algorithm>
#include <cmath>

#include "core/system/timing.h"
#include "gui/panels/handles.h"
#include "gui/runtime/screen.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

// The design's grid: the view region from top 6, left 10, at least 319 high, down to the
// position graphs; the measured-value panel, 57 high, at its bottom below the graph or video
// panel; 6 pixels between the regions and the button column; the connection panel 440 x 270.
constexpr int kDesignWidth = 800, kDesignHeight = 480;
constexpr int kViewTop = 6, kViewLeft = 10, kViewHeight = 319;
constexpr int kValuesHeight = 57;
constexpr int kSpacing = 6;
constexpr int kConnHeight = 270, kConnWidth = 440;
constexpr int kTouchTarget = 40;  // the least size of a touch target

}  // namespace

double TouchScale(int screenHeight, int screenWidth) {
    return std::max(1.0, std::min(static_cast<double>(screenWidth) / kDesignWidth,
                                  static_cast<double>(screenHeight) / kDesignHeight));
}

void ShowTouchSurface() {
    int screenHeight = kDesignHeight, screenWidth = kDesignWidth;
    const bool known = GetScreenSize(&screenHeight, &screenWidth) == 0;
    const double scale = TouchScale(screenHeight, screenWidth);
    auto px = [scale](int design) { return static_cast<int>(std::lround(design * scale)); };
    for (int panel :
         {pTSD, pTNum, pTMval, pTGraph, pTRec, pTVideo, pTPara0, pTPara1, pTPara2, pTConn})
        ScalePanelContents(panel, scale);
    SetPopupTarget(pTSD, px(kTouchTarget));
    // The screen's size too, for window systems without a manager that honours full-screen.
    if (known) {
        SetPanelPos(pTSD, 0, 0);
        SetPanelSize(pTSD, screenHeight, screenWidth);
    }
    SetPanelAttribute(pTSD, ATTR_WINDOW_ZOOM, VAL_FULL_SCREEN);
    DisplayPanel(pTSD);
    ProcessSystemEvents();  // let the panel's layout take the screen's size

    int top = 0, left = 0, height = 0, width = 0;
    GetCtrlBoundingRect(pTSD, TSD_RUN, &top, &left, &height, &width);
    const int viewWidth = left - px(kViewLeft + kSpacing);
    GetCtrlBoundingRect(pTSD, TSD_GRAPH_MASTER, &top, &left, &height, &width);
    const int viewBottom = top - px(kSpacing);
    if (viewWidth <= 0) return;
    const int viewTop = px(kViewTop);
    const int viewHeight = std::max(px(kViewHeight), viewBottom - viewTop);
    const int valuesHeight = px(kValuesHeight);
    const int chartHeight = viewHeight - valuesHeight - px(kSpacing);
    for (int panel : {pTNum, pTPara0, pTPara1, pTPara2, pTRec}) {
        SetPanelPos(panel, viewTop, px(kViewLeft));
        SetPanelSize(panel, viewHeight, viewWidth);
    }
    for (int panel : {pTGraph, pTVideo}) {
        SetPanelPos(panel, viewTop, px(kViewLeft));
        SetPanelSize(panel, chartHeight, viewWidth);
    }
    SetPanelPos(pTMval, viewTop + viewHeight - valuesHeight, px(kViewLeft));
    SetPanelSize(pTMval, valuesHeight, viewWidth);
    // The connection panel lies centred over the view region, clear of the buttons.
    const int connHeight = px(kConnHeight), connWidth = std::min(px(kConnWidth), viewWidth);
    SetPanelSize(pTConn, connHeight, connWidth);
    SetPanelPos(pTConn, viewTop + std::max(0, (viewHeight - connHeight) / 2),
                px(kViewLeft) + (viewWidth - connWidth) / 2);
}
