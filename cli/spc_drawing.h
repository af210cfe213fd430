// Inside the plot module: the statistics' charts drawn into a part of a picture or of the
// report's page.
#pragma once
#include <QPainter>
#include <QRectF>

#include "spc_chart.h"

// The chart pair within `area`: values above, ranges below, the figures in a box at the right.
void DrawControlChart(QPainter &painter, const QRectF &area, const ControlChart &chart);

// The gauge study's run of values within `area`, and its histogram at the right.
void DrawGaugeChart(QPainter &painter, const QRectF &area, const GaugeChart &chart);

// The font of the charts and the report, `pixels` high.
QFont ChartFont(int pixels, bool bold = false);
