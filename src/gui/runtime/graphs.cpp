// Graph operations on KGraph controls: plots, axes, cursors and strip charts.
#include "gui/runtime/kgraph.h"
#include "gui/runtime/runtime.h"

namespace {

KGraph *Graph(int panel, int control, const char *operation, int *error) {
    return static_cast<KGraph *>(FindCtrlOfKind(panel, control, CtrlKind::Graph, operation, error));
}

template <typename Y>
int Curve(int panel, int control, const double *x, const Y *y, int count, int plotStyle,
          int pointStyle, int color) {
    int error;
    KGraph *graph = Graph(panel, control, "PlotXY", &error);
    if (!graph) return error;
    if (graph->isStripChart()) return UIE_NOT_SUPPORTED;
    if (!x || !y || count < 0) return UIE_BAD_VALUE;
    return graph->plotXY(x, y, count, plotStyle, pointStyle, Rgb(color));
}

}  // namespace

int PlotXY(int panel, int control, const double *x, const unsigned short *y, int count,
           int plotStyle, int pointStyle, int color) {
    return Curve(panel, control, x, y, count, plotStyle, pointStyle, color);
}

int PlotXY(int panel, int control, const double *x, const double *y, int count, int plotStyle,
           int pointStyle, int color) {
    return Curve(panel, control, x, y, count, plotStyle, pointStyle, color);
}

int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor) {
    int error;
    KGraph *graph = Graph(panel, control, "PlotRectangle", &error);
    if (!graph) return error;
    if (graph->isStripChart()) return UIE_NOT_SUPPORTED;
    return graph->plotRectangle(QRectF(QPointF(x1, y1), QPointF(x2, y2)), Rgb(frameColor),
                                Rgb(fillColor));
}

// On a strip chart, deleting all plots clears the chart.
int DeleteGraphPlot(int panel, int control, int plotHandle, int drawMode) {
    int error;
    KGraph *graph = Graph(panel, control, "DeleteGraphPlot", &error);
    if (!graph) return error;
    if (graph->isStripChart()) {
        if (plotHandle != VAL_ALL_PLOTS) return UIE_BAD_PLOT;
        graph->clearStrip();
        return 0;
    }
    return graph->deletePlot(plotHandle, drawMode == VAL_IMMEDIATE_DRAW) ? 0 : UIE_BAD_PLOT;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max) {
    int error;
    KGraph *graph = Graph(panel, control, "SetAxisScalingMode", &error);
    if (!graph) return error;
    if (axis != VAL_XAXIS && axis != VAL_LEFT_YAXIS && axis != VAL_RIGHT_YAXIS)
        return UIE_BAD_VALUE;
    if (mode != VAL_MANUAL || !(min < max)) return UIE_BAD_VALUE;
    graph->setAxisRange(static_cast<KGraph::Axis>(axis), min, max);
    return 0;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
    int error;
    KGraph *graph = Graph(panel, control, "SetGraphCursor", &error);
    if (!graph) return error;
    if (cursor != 1 && cursor != 2) return UIE_BAD_INDEX;
    graph->placeCursor(cursor, x, y);
    return 0;
}

int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value) {
    int error;
    KGraph *graph = Graph(panel, control, "SetCursorAttribute", &error);
    if (!graph) return error;
    if (cursor != 1 && cursor != 2) return UIE_BAD_INDEX;
    if (attribute == ATTR_CURSOR_POINT_STYLE)
        graph->setCursorPointStyle(cursor, value);
    else if (attribute == ATTR_CURSOR_COLOR)
        graph->setCursorColor(cursor, Rgb(value));
    else
        return UIE_BAD_ATTRIBUTE;
    return 0;
}

int PlotStripChart(int panel, int control, const double *values, int count) {
    int error;
    KGraph *graph = Graph(panel, control, "PlotStripChart", &error);
    if (!graph) return error;
    if (!graph->isStripChart()) return UIE_NOT_SUPPORTED;
    if (!values || count < 0) return UIE_BAD_VALUE;
    graph->plotStrip(values, count);
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value) {
    int error;
    KGraph *graph = Graph(panel, control, "SetTraceAttribute", &error);
    if (!graph) return error;
    if (trace < 1 || trace > KGraph::kMaxTraces) return UIE_BAD_INDEX;
    if (attribute == ATTR_TRACE_COLOR)
        graph->setTraceColor(trace, Rgb(value));
    else if (attribute == ATTR_TRACE_VISIBLE)
        graph->setTraceVisible(trace, value != 0);
    else
        return UIE_BAD_ATTRIBUTE;
    return 0;
}
