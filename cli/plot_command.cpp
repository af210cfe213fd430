// plot: a recording as a PNG picture. The samples are gathered in one pass into at most one bin
// per pixel column (first, last, lowest and highest value of each trace), so a recording of any
// length is drawn in bounded memory and time.
#include <QCommandLineParser>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "axis.h"
#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "recording.h"

namespace {

constexpr double kUmPerMm = 1000.0;
constexpr int kMargin = 8;        // between the picture's edge and what it shows [px]
constexpr double kMinMm = 0.001;  // the recording's resolution: a label step of 1 µm at least
constexpr double kRoom = 0.02;    // share of the value range kept free above and below the data
const QColor kValColor(0x006400), kMasterColor(0x0050C8), kSlaveColor(0xC80000),
    kSetpointColor(Qt::black), kBandColor(0xD8F0D8), kGridColor(0xDCDCDC);

// The traces in drawing order: the thin traces over the thick one, so that where VAL is a
// sensor's value both stay visible.
struct Trace {
    const char *name;
    int32_t RecSample::*value;
    QColor color;
    int width;
};
const std::array<Trace, 3> kTraces = {{
    {"VAL", &RecSample::val, kValColor, 2},
    {"MA", &RecSample::ma, kMasterColor, 1},
    {"SL", &RecSample::sl, kSlaveColor, 1},
}};

// The values one trace takes within a bin [µm].
struct Extent {
    int32_t first, last, min, max;
};

// The samples of one stretch of time.
struct Bin {
    bool empty = true;
    int64_t tFirst = 0, tLast = 0;  // seconds since the first sample
    std::array<Extent, kTraces.size()> traces{};
};

// Bin `b` followed by bin `next`, as one.
Bin joined(const Bin &b, const Bin &next) {
    if (b.empty) return next;
    if (next.empty) return b;
    Bin j = b;
    j.tLast = next.tLast;
    for (size_t i = 0; i < j.traces.size(); ++i) {
        Extent &e = j.traces[i];
        const Extent &n = next.traces[i];
        e = {e.first, n.last, std::min(e.min, n.min), std::max(e.max, n.max)};
    }
    return j;
}

// A recording gathered into a fixed number of bins of `seconds` each: when the time outgrows
// them, neighbours are joined in pairs and each bin covers twice the time.
struct Bins {
    std::vector<Bin> bins;
    int64_t seconds = 1;

    void add(const RecSample &s) {
        const int64_t t = std::max<int64_t>(s.elapsed, 0);  // a clock set back before the start
        const auto size = static_cast<int64_t>(bins.size());
        while (t / seconds >= size) {
            for (int64_t i = 0; i < size; ++i) {
                const Bin later = 2 * i + 1 < size ? bins[2 * i + 1] : Bin{};
                bins[i] = 2 * i < size ? joined(bins[2 * i], later) : Bin{};
            }
            seconds *= 2;
        }
        Bin sample;
        sample.empty = false;
        sample.tFirst = sample.tLast = t;
        for (size_t i = 0; i < kTraces.size(); ++i) {
            const int32_t v = s.*kTraces[i].value;
            sample.traces[i] = {v, v, v, v};
        }
        Bin &b = bins[t / seconds];
        b = joined(b, sample);
    }

    int64_t span() const {
        int64_t t = 0;
        for (const Bin &b : bins)
            if (!b.empty) t = std::max(t, b.tLast);
        return t;
    }
    // Lowest and highest value of every trace [µm]; INT32_MAX and INT32_MIN without samples.
    std::pair<int32_t, int32_t> extent() const {
        std::pair<int32_t, int32_t> r{INT32_MAX, INT32_MIN};
        for (const Bin &b : bins)
            for (const Extent &e : b.traces)
                if (!b.empty) r = {std::min(r.first, e.min), std::max(r.second, e.max)};
        return r;
    }
};

// What the chart shows beside the traces.
struct Marks {
    std::optional<double> setpoint;                 // [mm]
    std::optional<std::pair<double, double>> band;  // lower and upper tolerance limit [mm]
};

// The legend's entries: a trace's line or the band's box, and the name.
struct LegendItem {
    QString name;
    QColor color;
    bool box;
};

// The legend in rows along the top of the picture, right-aligned; its height.
int drawLegend(QPainter &painter, const std::vector<LegendItem> &items, int width) {
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
    int y = kMargin;
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
    return y - kMargin;
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
    const double span = double(bins.span());
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
    painter.drawText(QRectF(area.left(), area.bottom() + c.line + 2, area.width(), c.line),
                     Qt::AlignHCenter,
                     QString("Time since the first sample [%1]").arg(c.unit.name));
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
            points << QPointF(c.px(double(b.tFirst)), c.py(e.first / kUmPerMm))
                   << QPointF(middle, c.py(a / kUmPerMm)) << QPointF(middle, c.py(z / kUmPerMm))
                   << QPointF(c.px(double(b.tLast)), c.py(e.last / kUmPerMm));
        }
        painter.setPen(QPen(kTraces[i].color, kTraces[i].width));
        painter.drawPolyline(points);
        if (points.size() == 4) {  // one bin: a line of no length where all samples are alike
            painter.setPen(QPen(kTraces[i].color, kTraces[i].width + 3));
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
    for (const Trace &t : kTraces) legend.push_back({t.name, t.color, false});
    if (marks.setpoint) legend.push_back({"set-point", kSetpointColor, false});
    if (marks.band) legend.push_back({"tolerance band", kBandColor, true});
    const int top =
        kMargin + drawLegend(painter, legend, image.width()) + painter.fontMetrics().height();
    const Chart chart = layOut(painter.fontMetrics(), image.size(), top, bins, marks);
    if (chart.area.width() < 2 || chart.area.height() < 2) return;  // too small to show anything
    drawAxes(painter, chart, marks);
    drawData(painter, chart, bins, marks);
}

// The picture may go to --out: not the recording itself, and an existing file only with
// --force. EXIT_OK or the refusal (shown).
int checkOutput(const QCommandLineParser &args) {
    const QFileInfo out(args.value("out")), in(args.positionalArguments().value(1));
    if (!out.exists()) return EXIT_OK;
    if (out.canonicalFilePath() == in.canonicalFilePath())
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 is the recording; it is not overwritten").arg(args.value("out")));
    if (!args.isSet("force"))
        return Fail(EXIT_CANT_CREATE,
                    QString("%1 exists already; --force overwrites it").arg(args.value("out")));
    return EXIT_OK;
}

}  // namespace

int CmdPlot(const QCommandLineParser &args) {
    if (const int status = checkOutput(args); status != EXIT_OK) return status;
    RecReader reader;
    RecFileHeader header;
    if (const int status = OpenRecording(args, reader, header); status != EXIT_OK) return status;
    Tolerances tol;
    if (const int status = TolerancesOf(args, header, tol); status != EXIT_OK) return status;
    const int width = args.isSet("width") ? args.value("width").toInt() : 800;
    const int height = args.isSet("height") ? args.value("height").toInt() : 500;

    Bins bins;
    bins.bins.resize(static_cast<size_t>(width));
    if (const int status = ForEachSample(args, reader, [&](const RecSample &s) { bins.add(s); });
        status != EXIT_OK)
        return status;

    Marks marks;
    if (tol.setpoint) marks.setpoint = *tol.setpoint / kUmPerMm;
    if (tol.upper || tol.lower)
        marks.band = std::pair((*tol.setpoint - tol.lower.value_or(0)) / kUmPerMm,
                               (*tol.setpoint + tol.upper.value_or(0)) / kUmPerMm);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    drawChart(image, bins, marks);

    const QString out = args.value("out");
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        return Fail(EXIT_CANT_CREATE, "cannot write " + out);
    return EXIT_OK;
}
