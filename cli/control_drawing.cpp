// The plot module's control charts and gauge study charts, drawn with QPainter into a PNG
// picture or into the report's page.
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "axis.h"
#include "spc_drawing.h"

namespace {

const QColor kValueColor(0x0050C8), kCentreColor(0x006400), kControlColor(0xC80000),
    kSpecColor(0xE07000), kBreakColor(Qt::red), kGridColor(0xDCDCDC), kBarColor(0x7FA8E0);
constexpr double kRoom = 0.05;  // share of the value range kept free above and below

// A horizontal line across the frame with its name at the right end.
struct Level {
    double value;
    QString name;
    QColor color;
    Qt::PenStyle style;
};

// A frame with a value axis at the left and the point numbers 1..last along the bottom.
struct Frame {
    QRectF area;
    AxisTicks y;
    double xLow = 1, xHigh = 2;

    double px(double n) const {
        return area.left() + (n - xLow) / std::max(xHigh - xLow, 1e-9) * area.width();
    }
    double py(double v) const {
        return area.bottom() - (v - y.low()) / (y.high() - y.low()) * area.height();
    }
};

// The value axis over `low`..`high` with a little room, its ticks and grid, the levels.
// A range axis (`fromZero`) starts at 0.
Frame frameOf(QPainter &painter, const QRectF &area, double low, double high, double xHigh,
              const std::vector<Level> &levels, bool fromZero = false) {
    for (const Level &l : levels) {
        low = std::min(low, l.value);
        high = std::max(high, l.value);
    }
    const double room = std::max(high - low, 1e-6) * kRoom;
    Frame f;
    f.y = RoundTicks(fromZero ? 0.0 : low - room, high + room, std::max(3, int(area.height() / 30)),
                     1e-6);
    f.xHigh = std::max(xHigh, 2.0);
    const QFontMetrics fm = painter.fontMetrics();
    int labels = 0;
    for (int i = 0; i < f.y.count; ++i)
        labels = std::max(labels, fm.horizontalAdvance(f.y.label(i)));
    int names = 0;
    for (const Level &l : levels) names = std::max(names, fm.horizontalAdvance(l.name));
    f.area = area.adjusted(labels + 6, 0, -names - 6, 0);
    painter.setPen(QPen(kGridColor, 0));
    for (int i = 0; i < f.y.count; ++i) {
        const double y = f.py(f.y.value(i));
        painter.drawLine(QPointF(f.area.left(), y), QPointF(f.area.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y - fm.height() / 2.0, labels, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter, f.y.label(i));
        painter.setPen(QPen(kGridColor, 0));
    }
    for (const Level &l : levels) {
        const double y = f.py(l.value);
        painter.setPen(QPen(l.color, 1, l.style));
        painter.drawLine(QPointF(f.area.left(), y), QPointF(f.area.right(), y));
        painter.drawText(QPointF(f.area.right() + 4, y + fm.ascent() / 2.0 - 1), l.name);
    }
    return f;
}

// The point numbers under a frame.
void drawPointAxis(QPainter &painter, const Frame &f, const QString &name) {
    const QFontMetrics fm = painter.fontMetrics();
    const AxisTicks t = RoundTicks(f.xLow, f.xHigh, std::max(3, int(f.area.width() / 70)), 1.0);
    painter.setPen(Qt::black);
    for (int i = 0; i < t.count; ++i) {
        const double x = f.px(t.value(i));
        if (x < f.area.left() - 1 || x > f.area.right() + 1) continue;
        painter.drawText(QRectF(x - 50, f.area.bottom() + 2, 100, fm.height()), Qt::AlignHCenter,
                         t.label(i));
    }
    painter.drawText(
        QRectF(f.area.left(), f.area.bottom() + fm.height() + 2, f.area.width(), fm.height()),
        Qt::AlignHCenter, name);
}

// One trace of the bins: from each bin's first value over its extremes to its last, and a dot
// for each point where the bins hold single points; red dots where a rule broke.
void drawTrace(QPainter &painter, const Frame &f, const ChartBins &bins, bool ranges) {
    painter.save();
    painter.setClipRect(f.area.adjusted(-3, -3, 3, 3));
    QPolygonF line;
    for (const PointBin &b : bins.bins) {
        if (b.empty || (ranges && !b.ranged)) continue;
        const double first = ranges ? b.rFirst : b.vFirst, last = ranges ? b.rLast : b.vLast;
        const double low = ranges ? b.rMin : b.vMin, high = ranges ? b.rMax : b.vMax;
        const double middle = f.px((b.first + b.last) / 2.0);
        line << QPointF(f.px(b.first), f.py(first));
        if (b.first != b.last)
            line << QPointF(middle, f.py(first <= last ? low : high))
                 << QPointF(middle, f.py(first <= last ? high : low))
                 << QPointF(f.px(b.last), f.py(last));
    }
    painter.setPen(QPen(kValueColor, 1));
    painter.drawPolyline(line);
    if (bins.per == 1 && line.size() * 4 < f.area.width()) {
        painter.setPen(QPen(kValueColor, 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoints(line);
    }
    const unsigned rules = ranges ? RULE_RANGE_BEYOND : RULE_BEYOND | RULE_RUN | RULE_TREND;
    painter.setPen(QPen(kBreakColor, 6, Qt::SolidLine, Qt::RoundCap));
    for (const PointBin &b : bins.bins)
        if (!b.empty && (b.broken & rules))
            painter.drawPoint(QPointF(f.px(b.last), f.py(ranges ? b.brokenRange : b.brokenValue)));
    painter.restore();
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(f.area);
}

// The figures in a box of `width` at the top right of `area`; what remains at the left.
QRectF drawBox(QPainter &painter, const QRectF &area, const std::vector<std::string> &lines) {
    const QFontMetrics fm = painter.fontMetrics();
    int width = 0;
    for (const std::string &l : lines)
        width = std::max(width, fm.horizontalAdvance(QString::fromStdString(l)));
    const QRectF box(area.right() - width - 12, area.top(), width + 12,
                     fm.height() * double(lines.size()) + 8);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(QColor(0xF4F4F4));
    painter.drawRect(box);
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < lines.size(); ++i)
        painter.drawText(
            QPointF(box.left() + 6, box.top() + 4 + fm.ascent() + fm.height() * double(i)),
            QString::fromStdString(lines[i]));
    return area.adjusted(0, 0, -box.width() - 8, 0);
}

}  // namespace

QFont ChartFont(int pixels, bool bold) {
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void DrawControlChart(QPainter &painter, const QRectF &area, const ControlChart &chart) {
    const bool single = chart.subgroup <= 1;
    const ChartLimits &l = chart.limits;
    const QRectF charts = drawBox(painter, area, chart.figures);
    const QFontMetrics fm = painter.fontMetrics();
    const double axis = 2.0 * fm.height() + 4, gap = 2.0 * fm.height();
    const double valuesHeight = (charts.height() - axis - 2 * gap) * 0.62;
    const QRectF top(charts.left(), charts.top() + gap, charts.width(), valuesHeight);
    const QRectF bottom(charts.left(), top.bottom() + gap, charts.width(),
                        charts.bottom() - top.bottom() - gap - axis);
    double low = INFINITY, high = -INFINITY, rangeHigh = 0;
    for (const PointBin &b : chart.bins.bins) {
        if (b.empty) continue;
        low = std::min(low, b.vMin);
        high = std::max(high, b.vMax);
        if (b.ranged) rangeHigh = std::max(rangeHigh, b.rMax);
    }
    const auto number = [](double v) { return QString::number(v, 'f', 4); };
    std::vector<Level> levels = {
        {l.upper, "UCL " + number(l.upper), kControlColor, Qt::DashLine},
        {l.centre, (single ? "X " : "X-bar ") + number(l.centre), kCentreColor, Qt::SolidLine},
        {l.lower, "LCL " + number(l.lower), kControlColor, Qt::DashLine}};
    if (chart.upper)
        levels.push_back({*chart.upper, "USL " + number(*chart.upper), kSpecColor, Qt::SolidLine});
    if (chart.lower)
        levels.push_back({*chart.lower, "LSL " + number(*chart.lower), kSpecColor, Qt::SolidLine});
    const double last = double(chart.bins.lastPoint());
    const Frame values = frameOf(painter, top, low, high, last, levels);
    drawTrace(painter, values, chart.bins, false);
    std::vector<Level> rangeLevels = {
        {l.rangeUpper, "UCL " + number(l.rangeUpper), kControlColor, Qt::DashLine},
        {l.rangeCentre, (single ? "MR-bar " : "R-bar ") + number(l.rangeCentre), kCentreColor,
         Qt::SolidLine}};
    if (l.rangeLower > 0)
        rangeLevels.push_back(
            {l.rangeLower, "LCL " + number(l.rangeLower), kControlColor, Qt::DashLine});
    Frame ranges = frameOf(painter, bottom, 0, rangeHigh, last, rangeLevels, true);
    // The range chart takes the value chart's width, so that the points line up.
    ranges.area.setLeft(values.area.left());
    ranges.area.setRight(values.area.right());
    drawTrace(painter, ranges, chart.bins, true);
    drawPointAxis(painter, ranges, single ? "Value number" : "Subgroup number");
    painter.save();
    painter.setPen(Qt::black);
    painter.drawText(QRectF(top.left(), top.top() - 1.5 * fm.height(), top.width(), fm.height()),
                     Qt::AlignLeft, single ? "Values [mm]" : "Subgroup means [mm]");
    painter.drawText(
        QRectF(bottom.left(), bottom.top() - 1.5 * fm.height(), bottom.width(), fm.height()),
        Qt::AlignLeft, single ? "Moving ranges [mm]" : "Subgroup ranges [mm]");
    painter.restore();
}

void DrawGaugeChart(QPainter &painter, const QRectF &area, const GaugeChart &chart) {
    const double band = 0.1 * chart.tolerance;
    const std::vector<Level> levels = {
        {chart.reference + band, "ref + 0.1 T", kControlColor, Qt::DashLine},
        {chart.reference, "reference", kCentreColor, Qt::SolidLine},
        {chart.reference - band, "ref - 0.1 T", kControlColor, Qt::DashLine}};
    double low = chart.reference, high = chart.reference;
    for (const double v : chart.values) low = std::min(low, v), high = std::max(high, v);
    const QFontMetrics fm = painter.fontMetrics();
    const QRectF run(area.left(), area.top() + 2 * fm.height(), area.width() * 0.72,
                     area.height() - 4 * fm.height() - 4);
    const Frame f = frameOf(painter, run, low, high, double(chart.values.size()), levels);
    ChartBins bins;
    bins.bins.resize(std::max<size_t>(1, size_t(f.area.width())));
    for (size_t i = 0; i < chart.values.size(); ++i)
        bins.add({i + 1, chart.values[i], 0, false}, 0);
    drawTrace(painter, f, bins, false);
    drawPointAxis(painter, f, "Measurement number");
    painter.setPen(Qt::black);
    painter.drawText(QRectF(run.left(), area.top(), run.width(), fm.height()), Qt::AlignLeft,
                     "Values [mm]");

    // The histogram on the same value axis: classes between the lowest and highest value.
    const QRectF hist(run.right() + 16, f.area.top(), area.right() - run.right() - 16,
                      f.area.height());
    const int classes = std::clamp(int(std::sqrt(double(chart.values.size()))), 5, 20);
    std::vector<int> counts(size_t(classes), 0);
    const double width = std::max((high - low) / classes, 1e-9);
    for (const double v : chart.values)
        ++counts[size_t(std::min(classes - 1, int((v - low) / width)))];
    const int most = std::max(1, *std::max_element(counts.begin(), counts.end()));
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(kBarColor);
    for (int i = 0; i < classes; ++i) {
        const double y0 = f.py(low + width * i), y1 = f.py(low + width * (i + 1));
        painter.drawRect(QRectF(hist.left(), y1, hist.width() * counts[size_t(i)] / most, y0 - y1));
    }
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(hist.topLeft(), hist.bottomLeft());
    painter.drawText(QRectF(hist.left(), hist.bottom() + 2, hist.width(), fm.height()),
                     Qt::AlignHCenter, QString("histogram, most %1").arg(most));
}

namespace {

template <typename Chart>
bool drawPicture(void (*draw)(QPainter &, const QRectF &, const Chart &), const Chart &chart,
                 int width, int height, const QString &out) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(ChartFont(11));
        draw(painter,
             QRectF(8, 8 + painter.fontMetrics().height(), width - 16,
                    height - 16 - painter.fontMetrics().height()),
             chart);
    }
    QSaveFile file(out);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

}  // namespace

extern "C" Q_DECL_EXPORT bool KtavDrawControlChart(const ControlChart &chart, int width, int height,
                                                   const QString &out) {
    return drawPicture(DrawControlChart, chart, width, height, out);
}

extern "C" Q_DECL_EXPORT bool KtavDrawGaugeChart(const GaugeChart &chart, int width, int height,
                                                 const QString &out) {
    return drawPicture(DrawGaugeChart, chart, width, height, out);
}
