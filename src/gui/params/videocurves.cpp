#include "gui/params/videocurves.h"

#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

namespace {

void plotVideoCurve(int desktopGraph, int touchGraph, const uint16_t *data,
                    const uint16_t *threshold, const double *x) {
    constexpr int kRed = 0xFF0000;
    constexpr int kDarkGreen = 0x008000;
    const int panel = tsd_flag ? pTVideo : pPA;
    const int graph = tsd_flag ? touchGraph : desktopGraph;
    SetAxisScalingMode(panel, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, ADCMAX);
    SetAxisScalingMode(panel, graph, VAL_RIGHT_YAXIS, VAL_MANUAL, 0.0, ADCMAX);
    DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    PlotXY(panel, graph, x, data, MAXPOINT, VAL_CONNECTED_POINTS, VAL_SIMPLE_DOT, kRed);
    PlotXY(panel, graph, x, threshold, MAXPOINT, VAL_CONNECTED_POINTS, VAL_SIMPLE_DOT, kDarkGreen);
}

}  // namespace

void PlotVIDEOCurveA(const uint16_t *data, const uint16_t *threshold, const double *x) {
    plotVideoCurve(PANEL_VIDEO_MASTER, TVIDEO_VIDEO_MASTER, data, threshold, x);
}

void PlotVIDEOCurveB(const uint16_t *data, const uint16_t *threshold, const double *x) {
    plotVideoCurve(PANEL_VIDEO_SLAVE, TVIDEO_VIDEO_SLAVE, data, threshold, x);
}
