#include "gui/params/stripchart.h"

#include "core/link/commands.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "core/state/flags.h"
#include "gui/panels/handles.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

StripChartView DesktopStripChart() {
    return {pPA, PANEL_STRIPCHART, PANEL_GTYPE, PANEL_ZOOM, true};
}

StripChartView TouchStripChart() {
    return {pTGraph, TGRAPH_STRIPCHART, TGRAPH_GTYPE, TGRAPH_ZOOM, false};
}

void DrawStripChart(const StripChartView &v, const ZoomRange &zoom) {
    // The axis name and precision change with the graph type only; the ring sets them for mm.
    static int namedType[2] = {-1, -1};
    int &named = namedType[v.panel == pPA ? 0 : 1];
    int graphType = 0;
    GetCtrlVal(v.panel, v.graphType, &graphType);
    if (graphType == 0) {
        if (named != 0) {
            SetCtrlAttribute(v.panel, v.chart, ATTR_YPRECISION, 0);
            SetCtrlAttribute(v.panel, v.chart, ATTR_YNAME, "Meas.-Value / [pixel]");
        }
        SetAxisScalingMode(v.panel, v.chart, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, PixelCount());
    } else {
        int zoomed = 0;
        GetCtrlVal(v.panel, v.zoom, &zoomed);
        if (zoomed)
            SetAxisScalingMode(v.panel, v.chart, VAL_LEFT_YAXIS, VAL_MANUAL, zoom.bottom / 1000.0,
                               zoom.top / 1000.0);
        else
            SetAxisScalingMode(v.panel, v.chart, VAL_LEFT_YAXIS, VAL_MANUAL, YAXISMIN, YAXISMAX);
    }
    named = graphType;
    SetCtrlAttribute(v.panel, v.chart, ATTR_POINTS_PER_SCREEN, STRIP_SAMPLES + 1);
    SetCtrlAttribute(v.panel, v.chart, ATTR_SCROLL_MODE, VAL_CONTINUOUS);
    if (v.setsTraceCount) SetCtrlAttribute(v.panel, v.chart, ATTR_NUM_TRACES, STRIP_TRACES);
    PlotStripChart(v.panel, v.chart, arrayNORM, STRIP_TRACES * STRIP_SAMPLES);
}

void FollowStripBand() {
    for (int i = 0; i < STRIP_SAMPLES; ++i) {
        double *sample = arrayNORM + i * STRIP_TRACES;
        sample[0] = umTeach / 1000.0;
        sample[3] = umupTHD / 1000.0;
        sample[4] = umloTHD / 1000.0;
    }
    const ZoomRange zoom = ComputeZoomRange(SelectedValue(raw, para.ge.analogOutMode), umTeach,
                                            umupTHD, umloTHD, YAXISMAX, YAXISMIN);
    DrawStripChart(DesktopStripChart(), zoom);
    DrawStripChart(TouchStripChart(), zoom);
}
