#include "gui/measure/displays.h"

#include <cmath>
#include <span>

#include "core/link/commands.h"
#include "core/measure/evaluation.h"
#include "core/params/derived.h"
#include "core/params/paramblock.h"
#include "gui/panels/handles.h"
#include "gui/params/settingsview.h"
#include "gui/params/stripchart.h"
#include "gui/runtime/userint.h"
#include "ktav_panels.h"

int32_t umValue;
uint16_t curposA, curposB;
uint16_t peakwA, peakwB;

namespace {

constexpr int kRed = 0xFF0000;
constexpr int kDarkGreen = 0x008000;
constexpr int kGreen = 0x00FF00;
constexpr int kBlack = 0x000000;
constexpr int kBlue = 0x0000FF;

PositionGraphs desktopGraphs() {
    return {pPA, PANEL_GRAPH_MASTER, PANEL_GRAPH_SLAVE};
}

double mm(int32_t um) {
    return um / 1000.0;
}

void setCursorStyle(int panel, int graph, bool shown) {
    SetCursorAttribute(panel, graph, 2, ATTR_CURSOR_POINT_STYLE,
                       shown ? VAL_SOLID_SQUARE : VAL_NO_POINT);
}

void plotWindow(int panel, int graph, int64_t left, int64_t right) {
    const Window w = ClampWindow(left, right, PixelCount());
    PlotRectangle(panel, graph, w.left, 0.0, w.right, 0.35, kGreen, kGreen);
}

// The window around one sensor's teach value, reversed in set-point mode, and its cursor 2.
void teachWindow(int panel, int graph, uint16_t teachValue, const ToleranceWidths &tol) {
    const int64_t t = teachValue;
    if (tol.valid) {
        if (para.ge.measurementMode == 1)
            plotWindow(panel, graph, t + tol.lo, t - tol.up);
        else
            plotWindow(panel, graph, t - tol.lo, t + tol.up);
    }
    SetGraphCursor(panel, graph, 2, teachValue, 0.25);
}

// WIDTH mode: each window follows its object by half the distance of the pair to its teach
// values, while both sensors see an edge.
void widthWindows(const PositionGraphs &g, uint16_t posA, uint16_t posB,
                  const ToleranceWidths &tol) {
    const int64_t teachA = para.ma.teachValue, teachB = para.sl.teachValue;
    if (raw.edgeA == 0 || raw.edgeB == 0) {
        if (!tol.valid) return;
        plotWindow(g.panel, g.master, teachA - tol.up, teachA + tol.lo);
        plotWindow(g.panel, g.slave, teachB - tol.up, teachB + tol.lo);
        return;
    }
    setCursorStyle(g.panel, g.master, true);
    setCursorStyle(g.panel, g.slave, true);
    const int64_t d = (teachA + teachB - (int64_t{posA} + posB)) / 2;
    const int64_t centreA = posA + d / 2, centreB = posB + d / 2;
    if (tol.valid) {
        plotWindow(g.panel, g.master, centreA - tol.up, centreA + tol.lo);
        plotWindow(g.panel, g.slave, centreB - tol.up, centreB + tol.lo);
    }
    SetGraphCursor(g.panel, g.master, 2, static_cast<double>(centreA), 0.25);
    SetGraphCursor(g.panel, g.slave, 2, static_cast<double>(centreB), 0.25);
}

// CENTER and DIFF modes: windows from the line start; the combined position P marks on the
// master graph when above the middle N, on the slave graph when below it.
void pairWindows(const PositionGraphs &g, const ToleranceWidths &tol) {
    const int n = PixelCount();
    if (tol.valid) {
        plotWindow(g.panel, g.master, 1, tol.up);
        plotWindow(g.panel, g.slave, 1, tol.lo);
    }
    if (raw.posCombined > 2 * n - 1) raw.posCombined = static_cast<uint16_t>(2 * n);
    const int p = raw.posCombined;
    setCursorStyle(g.panel, g.master, p > n);
    setCursorStyle(g.panel, g.slave, p < n);
    if (p > n) SetGraphCursor(g.panel, g.master, 2, p - n, 0.75);
    if (p < n) SetGraphCursor(g.panel, g.slave, 2, n - p, 0.75);
}

}  // namespace

void DrawToleranceWindows(const PositionGraphs &g, uint16_t mode, uint16_t posA, uint16_t posB,
                          const ToleranceWidths &tol) {
    switch (mode) {
        case 0:
            setCursorStyle(g.panel, g.master, false);
            setCursorStyle(g.panel, g.slave, true);
            teachWindow(g.panel, g.slave, para.sl.teachValue, tol);
            break;
        case 1:
            setCursorStyle(g.panel, g.master, true);
            setCursorStyle(g.panel, g.slave, false);
            teachWindow(g.panel, g.master, para.ma.teachValue, tol);
            break;
        case 2:
            widthWindows(g, posA, posB, tol);
            break;
        case 3:
        case 4:
        case 5:
            pairWindows(g, tol);
            break;
        default:
            break;
    }
}

namespace {

// One position graph: the clamped position as cursor 1, the object as a red bar centred on
// the position the sensor sent.
void drawObject(int panel, int graph, uint16_t clamped, uint16_t position, uint16_t width) {
    SetAxisScalingMode(panel, graph, VAL_XAXIS, VAL_MANUAL, 0.0, PixelCount());
    DeleteGraphPlot(panel, graph, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    SetGraphCursor(panel, graph, 1, clamped, 0.75);
    const int half = width / 2;
    PlotRectangle(panel, graph, position - half, 0.25, position + half, 1.0, kRed, kRed);
}

}  // namespace

void SetTextBackground(int panel, int control, int colour) {
    int now = -1;
    GetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, &now);
    if (now != colour) SetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, colour);
}

int ToleranceColour() {
    return InTolerance(umValue, umloTHD, umupTHD) ? kDarkGreen : kRed;
}

void ShowSensorPower(int panel, int powerField, int timeField, const ParaSensor &s, uint16_t power,
                     uint16_t milli) {
    if (s.powerMode == 1) SetCtrlVal(panel, powerField, static_cast<int>(power));
    if (s.powerMode == 2 || HWTYPE == 22)
        SetCtrlVal(panel, timeField, std::lround(milli * 10 / 1000.0) / 10.0);
}

namespace {

// The big values' idle grey: what a tolerance colour gives way to when it is no longer current.
constexpr int kNotCurrentGrey = 0x484848;

// A display of the last record, by its panel's handle.
struct RecordDisplay {
    const int *panel;
    int control;
};

// What each surface shows of the last record: values and graphs, and lamps.
constexpr RecordDisplay kDesktopValues[] = {
    {&pPA, PANEL_MEASVALUE},   {&pPA, PANEL_POS_VALUE},    {&pPA, PANEL_POS_MASTER},
    {&pPA, PANEL_POS_SLAVE},   {&pPA, PANEL_VALUE_MASTER}, {&pPA, PANEL_VALUE_SLAVE},
    {&pPA, PANEL_VALUE_ANA1},  {&pPA, PANEL_VALUE_ANA23},  {&pPA, PANEL_GRAPH_MASTER},
    {&pPA, PANEL_GRAPH_SLAVE}, {&pPA, PANEL_STRIPCHART},
};
constexpr RecordDisplay kTouchValues[] = {
    {&pTNum, TNUM_MEASVALUE},      {&pTNum, TNUM_VALUE_ANA1},      {&pTNum, TNUM_VALUE_ANA23},
    {&pTMval, TMVAL_MEASVALUE},    {&pTMval, TMVAL_POS_VALUE},     {&pTMval, TMVAL_POS_MASTER},
    {&pTMval, TMVAL_POS_SLAVE},    {&pTMval, TMVAL_VALUE_MASTER},  {&pTMval, TMVAL_VALUE_SLAVE},
    {&pTGraph, TGRAPH_VALUE_ANA1}, {&pTGraph, TGRAPH_VALUE_ANA23}, {&pTSD, TSD_GRAPH_MASTER},
    {&pTSD, TSD_GRAPH_SLAVE},      {&pTGraph, TGRAPH_STRIPCHART},
};
constexpr RecordDisplay kTouchLamps[] = {
    {&pTNum, TNUM_LED_INTOL},     {&pTNum, TNUM_LED_ABOVE},     {&pTNum, TNUM_LED_BELOW},
    {&pTNum, TNUM_LED_IN0},       {&pTNum, TNUM_LED_IN1},       {&pTGraph, TGRAPH_LED_INTOL},
    {&pTGraph, TGRAPH_LED_ABOVE}, {&pTGraph, TGRAPH_LED_BELOW},
};

bool surfaceNotCurrent[2];  // by DisplaySurface

void showSurface(DisplaySurface surface, bool stale) {
    surfaceNotCurrent[static_cast<int>(surface)] = stale;
    const bool desktop = surface == DisplaySurface::Desktop;
    const std::span<const RecordDisplay> values =
        desktop ? std::span<const RecordDisplay>(kDesktopValues) : kTouchValues;
    for (const RecordDisplay &d : values) ShowNotCurrent(*d.panel, d.control, stale);
    if (desktop) return;
    for (const RecordDisplay &d : kTouchLamps) {
        if (stale) SetCtrlVal(*d.panel, d.control, 0);
        ShowNotCurrent(*d.panel, d.control, stale);
    }
}

}  // namespace

void ShowNotCurrent(int panel, int control, bool notCurrent) {
    SetCtrlAttribute(panel, control, ATTR_DIMMED, notCurrent ? 1 : 0);
    if (!notCurrent) return;
    int background = 0;
    GetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, &background);
    if (background == kRed || background == kDarkGreen)
        SetCtrlAttribute(panel, control, ATTR_TEXT_BGCOLOR, kNotCurrentGrey);
}

void ShowRecordNotCurrent() {
    showSurface(DisplaySurface::Desktop, true);
    showSurface(DisplaySurface::Touch, true);
}

void ShowRecordCurrent(DisplaySurface surface) {
    if (surfaceNotCurrent[static_cast<int>(surface)]) showSurface(surface, false);
}

ToleranceWidths EvaluateRecord() {
    peakwA = ObjectWidth(raw.startA, raw.endA);
    peakwB = ObjectWidth(raw.startB, raw.endB);
    umValue = SelectedValue(raw, para.ge.analogOutMode);
    const int n = PixelCount();
    curposA = ClampPosition(raw.posA, n);
    curposB = ClampPosition(raw.posB, n);
    return ComputeToleranceWidths(para.ge, raw, n, umRange, umRangeA, umRangeB);
}

// Drawn every cycle: a GET or TEACH served between cycles draws over these graphs.
void DrawPositionGraphs(const PositionGraphs &g, const ToleranceWidths &tol) {
    drawObject(g.panel, g.master, curposA, raw.posA, peakwA);
    drawObject(g.panel, g.slave, curposB, raw.posB, peakwB);
    DrawToleranceWindows(g, para.ge.evalMode, curposA, curposB, tol);
}

void PlotVIDEOBarGraph() {
    ShowRecordCurrent(DisplaySurface::Desktop);
    SetCtrlVal(pPA, PANEL_POS_SLAVE, static_cast<int>(raw.posB));
    SetCtrlVal(pPA, PANEL_POS_MASTER, static_cast<int>(raw.posA));
    SetCtrlVal(pPA, PANEL_POS_VALUE, static_cast<int>(raw.posCombined));
    const ToleranceWidths tol = EvaluateRecord();
    SetCtrlVal(pPA, PANEL_MEASVALUE, mm(umValue));
    SetCtrlVal(pPA, PANEL_VALUE_MASTER, UnsignedMm(raw.umA));
    SetCtrlVal(pPA, PANEL_VALUE_SLAVE, UnsignedMm(raw.umB));
    SetCtrlVal(pPA, PANEL_VALUE_ANA1, mm(raw.umAnalog1));
    SetCtrlVal(pPA, PANEL_VALUE_ANA23, mm(raw.umAnalog23));
    ShowSensorPower(pPara1, PARA1_POWER, PARA1_INTTIME, para.ma, raw.powerA, raw.milliA);
    ShowSensorPower(pPara2, PARA2_POWER, PARA2_INTTIME, para.sl, raw.powerB, raw.milliB);

    const int colour = ToleranceColour();
    SetTextBackground(pPA, PANEL_MEASVALUE, colour);
    SetTextBackground(pPA, PANEL_POS_VALUE, colour);
    if (para.ge.hardwareMode != 0 && para.ge.hardwareMode != 2) {
        const double hwTol = HardwareToleranceMm(umRange, raw.hwTolerance);
        SetCtrlVal(pPA, PANEL_TOL_UP, hwTol);
        SetCtrlVal(pPA, PANEL_TOL_LO, hwTol);
    }
    DrawPositionGraphs(desktopGraphs(), tol);
}

void PlotTOLWindow(uint16_t mode, uint16_t posA, uint16_t posB, uint16_t tolA, uint16_t tolB) {
    DrawToleranceWindows(desktopGraphs(), mode, posA, posB, {tolA, tolB, true});
}

ZoomRange PushRecordSample() {
    CalcUMThresholds(para.ge.evalMode);
    const int32_t analog = AnalogTraceValue(raw, para.ge.analogOutMode);
    const double sample[STRIP_TRACES] = {mm(umTeach),     mm(raw.umValue), UnsignedMm(analog),
                                         mm(umupTHD),     mm(umloTHD),     double(raw.posA),
                                         double(raw.posB)};
    PushStripSample(sample);
    return ComputeZoomRange(umValue, umTeach, umupTHD, umloTHD, YAXISMAX, YAXISMIN);
}

void PlotRAWGraph() {
    const ZoomRange zoom = PushRecordSample();
    DrawStripChart(DesktopStripChart(), zoom);
}

void SetStripChartColours(int panel, int chart) {
    constexpr int colours[STRIP_TRACES] = {kBlack,     kRed,       kRed, kDarkGreen,
                                           kDarkGreen, kDarkGreen, kBlue};
    for (int trace = 1; trace <= STRIP_TRACES; ++trace)
        SetTraceAttribute(panel, chart, trace, ATTR_TRACE_COLOR, colours[trace - 1]);
}
