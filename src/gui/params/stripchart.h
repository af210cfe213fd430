// The measured-value strip charts of both surfaces: the axis by graph type and zoom, the history
// drawn on it, and the band (set-point and tolerance limits) that follows the parameters.
#pragma once
#include "core/measure/evaluation.h"

// The measured-value strip chart of a surface with its graph-type ring and zoom toggle.
struct StripChartView {
    int panel, chart, graphType, zoom;
    bool setsTraceCount;  // the desktop chart sets its number of traces each cycle
};
StripChartView DesktopStripChart();
StripChartView TouchStripChart();

// The axis by graph type and zoom, and the whole history on the chart.
void DrawStripChart(const StripChartView &v, const ZoomRange &zoom);

// Once the set-point or the limits have changed (TEACH, GET, SEND): the band of the whole
// history at the values derived now, on both charts, the axis as a cycle draws it.
void FollowStripBand();
