#include "params/profiles.h"

#include <algorithm>
#include <iterator>

#include "ktav_panels.h"
#include "params/paramblock.h"
#include "platform/ui/userint.h"
#include "shared/panels.h"

uint16_t thdArrayA[MAXPOINT];
uint16_t thdArrayB[MAXPOINT];
uint16_t adcbufA[MAXPOINT];
uint16_t adcbufB[MAXPOINT];

void FillThresholdLine(uint16_t (&line)[MAXPOINT], uint16_t percent) {
    std::fill(std::begin(line), std::end(line),
              static_cast<uint16_t>(uint32_t{percent} * ADCMAX / 100));
}

void FillThresholdLines() {
    FillThresholdLine(thdArrayA, para.ma.videoThreshold);
    FillThresholdLine(thdArrayB, para.sl.videoThreshold);
}

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
