// The plot module: plot's chart drawn with Qt Gui into a PNG picture. Built as a module of its
// own that k-tav-cli loads only when plot runs (see plot_chart.h).
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <vector>

#include "axis.h"
#include "plot_chart.h"

namespace {

constexpr int kMargin = 8;        // between the picture's edge and what it shows [px]
constexpr double kMinMm = 0.001;  // the recording's resolution: a label step of 1 µm at least
constexpr double kRoom = 0.02;    // share of the value range kept free above and below the data
const QColor kSetpointColor(Qt::black), kBandColor(0xD8F0D8), kGridColor(0xDCDCDC);

// The legend's entries: a trace's line or the band's box, and the name.
struct LegendItem {
    QString name;
    QColor color;
    bool box;
};

// The legend in rows from `top` on, right-aligned; its height.
int drawLegend(QPainter &painter, const std::vector<LegendItem> &items, int width, int top) {
    const QFontMetrics fm = painter.fontMetrics();
    const int sample = 14, gap = 4, space = 12;
    std::vector<std::vector<const LegendItem *>> rows(1);
    int used = 0;
    for (const LegendItem &item : items) {
        const int w = sample + gap + fm.horizontalAdvance(item.name) + space;
        if (used > 0 && used + w > width - 2 * kMargin) {
            rows.emplace_back();
            used = 0;
        }
        rows.back().push_back(&item);
        used += w;
    }
    int y = top;
    for (const auto &row : rows) {
        int x = width - kMargin;
        for (auto it = row.rbegin(); it != row.rend(); ++it) {
            const LegendItem &item = **it;
            x -= fm.horizontalAdvance(item.name);
            painter.setPen(Qt::black);
            painter.drawText(x, y + fm.ascent(), item.name);
            x -= gap + sample;
            const int middle = y + fm.height() / 2;
            if (item.box)
                painter.fillRect(x, middle - 4, sample, 8, item.color);
            else
                painter.fillRect(x, middle - 1, sample, 2, item.color);
            x -= space;
        }
        y += fm.height();
    }
    return y - top;
}

// The notes, a line each, left-aligned along the top of the picture; their height.
int drawNotes(QPainter &painter, const std::vector<std::string> &notes, int width) {
    const int line = painter.fontMetrics().height();
    painter.setPen(Qt::black);
    for (size_t i = 0; i < notes.size(); ++i)
        painter.drawText(QRect(kMargin, kMargin + int(i) * line, width - 2 * kMargin, line),
                         Qt::AlignLeft, QString::fromStdString(notes[i]));
    return int(notes.size()) * line;
}

// Ticks of an axis of `length` pixels, no closer than `labelSize` says their labels need.
template <typename LabelSize>
AxisTicks ticksFor(double low, double high, int length, double minStep, LabelSize labelSize) {
    int most = std::max(3, length / 30);
    AxisTicks t = RoundTicks(low, high, most, minStep);
    while (most > 3 && (t.count - 1) * labelSize(t) > length)
        t = RoundTicks(low, high, --most, minStep);
    return t;
}

int widestLabel(const QFontMetrics &fm, const AxisTicks &t) {
    int w = 0;
    for (int i = 0; i < t.count; ++i) w = std::max(w, fm.horizontalAdvance(t.label(i)));
    return w;
}

// Where the chart's frame lies in the picture and what its axes show.
struct Chart {
    QRectF area;
    AxisTicks x, y;  // x in `unit`, y in mm
    TimeUnit unit;
    int line;  // height of a line of text

    double px(double seconds) const {
        return area.left() +
               (seconds / unit.seconds - x.low()) / (x.high() - x.low()) * area.width();
    }
    double py(double mm) const {
        return area.bottom() - (mm - y.low()) / (y.high() - y.low()) * area.height();
    }
};

// The frame below the legend, with room for the labels: the value axis covers the data and the
// band with a little room, the time axis the recording's span.
Chart layOut(const QFontMetrics &fm, const QSize &size, int top, const Bins &bins,
             const Marks &marks) {
    Chart c;
    c.line = fm.height();
    const auto [lowest, highest] = bins.extent();  // reversed without samples
    double low = lowest / kUmPerMm, high = highest / kUmPerMm;
    if (marks.band) {
        low = std::min(low, marks.band->first);
        high = std::max(high, marks.band->second);
    }
    if (low > high) low = high = marks.setpoint.value_or(0.0);
    const double room = (high - low) * kRoom;
    const int bottom = size.height() - kMargin - 2 * c.line - 2;
    c.y = ticksFor(low - room, high + room, bottom - top, kMinMm,
                   [&](const AxisTicks &) { return 2.0 * c.line; });
    const int left = kMargin + c.line + widestLabel(fm, c.y) + 6;
    const int right = size.width() - kMargin - fm.horizontalAdvance("0000") / 2;
    const double span = bins.span();
    c.unit = TimeUnitFor(span);
    c.x = ticksFor(0.0, std::max(span, 1.0) / c.unit.seconds, right - left, 1.0 / c.unit.seconds,
                   [&](const AxisTicks &t) { return widestLabel(fm, t) + c.line; });
    c.area = QRectF(left, top, right - left, bottom - top);
    return c;
}

// The tolerance band, the grid over it, the tick labels and the axis names.
void drawAxes(QPainter &painter, const Chart &c, const Marks &marks) {
    const QRectF &area = c.area;
    if (marks.band) {
        painter.setClipRect(area);
        painter.fillRect(QRectF(QPointF(area.left(), c.py(marks.band->second)),
                                QPointF(area.right(), c.py(marks.band->first))),
                         kBandColor);
        painter.setClipping(false);
    }
    auto xAt = [&](int i) { return area.left() + area.width() * i / (c.x.count - 1); };
    auto yAt = [&](int i) { return area.bottom() - area.height() * i / (c.y.count - 1); };
    painter.setPen(QPen(kGridColor, 0));
    for (int i = 0; i < c.x.count; ++i)
        painter.drawLine(QPointF(xAt(i), area.top()), QPointF(xAt(i), area.bottom()));
    for (int i = 0; i < c.y.count; ++i)
        painter.drawLine(QPointF(area.left(), yAt(i)), QPointF(area.right(), yAt(i)));
    painter.setPen(Qt::black);
    for (int i = 0; i < c.x.count; ++i)
        painter.drawText(QRectF(xAt(i) - 100, area.bottom() + 2, 200, c.line), Qt::AlignHCenter,
                         c.x.label(i));
    const double labelsLeft = kMargin + c.line;
    for (int i = 0; i < c.y.count; ++i)
        painter.drawText(
            QRectF(labelsLeft, yAt(i) - c.line / 2.0, area.left() - labelsLeft - 4, c.line),
            Qt::AlignRight | Qt::AlignVCenter, c.y.label(i));
    QString caption = QString("Time since the first sample [%1]").arg(c.unit.name);
    if (marks.spreadSeconds) caption += "; samples of one whole-second stamp spread over it";
    painter.drawText(QRectF(area.left(), area.bottom() + c.line + 2, area.width(), c.line),
                     Qt::AlignHCenter, caption);
    painter.save();
    painter.translate(kMargin, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, 0, area.height(), c.line), Qt::AlignHCenter,
                     "Value [mm]");
    painter.restore();
}

// The set-point line and the traces within the frame, then the frame over them.
void drawData(QPainter &painter, const Chart &c, const Bins &bins, const Marks &marks) {
    painter.setClipRect(c.area);
    if (marks.setpoint) {
        painter.setPen(QPen(kSetpointColor, 0));
        painter.drawLine(QPointF(c.area.left(), c.py(*marks.setpoint)),
                         QPointF(c.area.right(), c.py(*marks.setpoint)));
    }
    QPolygonF points;
    points.reserve(static_cast<qsizetype>(bins.bins.size()) * 4);
    for (size_t i = 0; i < kTraces.size(); ++i) {
        points.clear();
        for (const Bin &b : bins.bins) {
            if (b.empty) continue;
            const Extent &e = b.traces[i];
            const double middle = c.px((b.tFirst + b.tLast) / 2.0);
            // From the first value over the extremes to the last, in the order it moves.
            const auto [a, z] =
                e.first <= e.last ? std::pair(e.min, e.max) : std::pair(e.max, e.min);
            points << QPointF(c.px(b.tFirst), c.py(e.first / kUmPerMm))
                   << QPointF(middle, c.py(a / kUmPerMm)) << QPointF(middle, c.py(z / kUmPerMm))
                   << QPointF(c.px(b.tLast), c.py(e.last / kUmPerMm));
        }
        painter.setPen(QPen(QColor(kTraces[i].rgb), kTraces[i].width));
        painter.drawPolyline(points);
        if (points.size() == 4) {  // one bin: a line of no length where all samples are alike
            painter.setPen(QPen(QColor(kTraces[i].rgb), kTraces[i].width + 3));
            painter.drawPoints(points);
        }
    }
    painter.setClipping(false);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(c.area);
}

// The legend, the axes and the data.
void drawChart(QImage &image, const Bins &bins, const Marks &marks) {
    QPainter painter(&image);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    painter.setFont(font);
    std::vector<LegendItem> legend;
    for (const Trace &t : kTraces) legend.push_back({t.name, QColor(t.rgb), false});
    if (marks.setpoint) legend.push_back({"set-point", kSetpointColor, false});
    if (marks.band) legend.push_back({"tolerance band", kBandColor, true});
    const int notes = kMargin + drawNotes(painter, marks.notes, image.width());
    const int top =
        notes + drawLegend(painter, legend, image.width(), notes) + painter.fontMetrics().height();
    const Chart chart = layOut(painter.fontMetrics(), image.size(), top, bins, marks);
    if (chart.area.width() < 2 || chart.area.height() < 2) return;  // too small to show anything
    drawAxes(painter, chart, marks);
    drawData(painter, chart, bins, marks);
}

}  // namespace

extern "C" Q_DECL_EXPORT QCoreApplication *KtavMakePlotApplication(int &argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
}

extern "C" Q_DECL_EXPORT bool KtavDrawPlot(const Bins &bins, const Marks &marks, int width,
                                           int height, const QString &out) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    drawChart(image, bins, marks);
    QSaveFile file(out);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}
