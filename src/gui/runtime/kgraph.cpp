#include "gui/runtime/kgraph.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kDivisions = 5;  // grid divisions per axis
constexpr double kMark = 5.0;  // side of a square point mark, pixels
constexpr int kMargin = 6;
constexpr double kDimmedOpacity = 0.3;  // plots and cursors of a dimmed graph

const QColor kTraceColors[] = {Qt::black,   Qt::red,          Qt::darkGreen,    Qt::blue,
                               Qt::magenta, QColor(0xFF8000), QColor(0x008080), Qt::darkGray};

}  // namespace

KGraph::KGraph(QWidget *parent) : QWidget(parent) {
    // The picture covers the whole widget with what lies behind it, so nothing beneath the
    // graph is painted first, and the picture is copied rather than blended.
    setAttribute(Qt::WA_OpaquePaintEvent);
    cursors_[0].color = QColor(0x000080);
    cursors_[1].color = QColor(0x008080);
    for (int i = 0; i < kMaxTraces; ++i)
        traces_[i].color = kTraceColors[i % std::size(kTraceColors)];
    clearStrip();
}

KGraph::Plot &KGraph::newPlot() {
    Plot &plot = plots_.emplace_back();
    plot.handle = nextHandle_++;
    if (!spare_.empty()) {
        plot.points = std::move(spare_.back());
        spare_.pop_back();
    }
    plot.points.clear();
    requestPaint();
    return plot;
}

template <typename Y>
int KGraph::plotCurve(const double *x, const Y *y, int count, int style, int pointStyle,
                      const QColor &color) {
    Plot &plot = newPlot();
    plot.rectangle = false;
    plot.style = style;
    plot.pointStyle = pointStyle;
    plot.color = color;
    for (int i = 0; i < count; ++i) plot.points.emplace_back(x[i], y[i]);
    return plot.handle;
}

int KGraph::plotXY(const double *x, const double *y, int count, int style, int pointStyle,
                   const QColor &color) {
    return plotCurve(x, y, count, style, pointStyle, color);
}

int KGraph::plotXY(const double *x, const unsigned short *y, int count, int style, int pointStyle,
                   const QColor &color) {
    return plotCurve(x, y, count, style, pointStyle, color);
}

int KGraph::plotRectangle(const QRectF &area, const QColor &frame, const QColor &fill) {
    Plot &plot = newPlot();
    plot.rectangle = true;
    plot.area = area.normalized();
    plot.color = frame;
    plot.fill = fill;
    return plot.handle;
}

std::vector<std::pair<QRectF, QColor>> KGraph::rectangles() const {
    std::vector<std::pair<QRectF, QColor>> found;
    for (const Plot &plot : plots_)
        if (plot.rectangle) found.emplace_back(plot.area, plot.fill);
    return found;
}

// Keeps the drawing order of the plots that stay; the point buffers of the others are kept for
// the next curves.
bool KGraph::deletePlot(int handle, bool redraw) {
    auto kept = plots_.begin();
    for (auto it = plots_.begin(); it != plots_.end(); ++it) {
        if (handle == -1 || it->handle == handle) {
            spare_.push_back(std::move(it->points));
        } else {
            if (kept != it) *kept = std::move(*it);
            ++kept;
        }
    }
    const bool found = kept != plots_.end();
    plots_.erase(kept, plots_.end());
    if (redraw) requestPaint();
    return found || handle == -1;
}

int KGraph::pointCount(int handle) const {
    for (const Plot &plot : plots_)
        if (plot.handle == handle && !plot.rectangle) return static_cast<int>(plot.points.size());
    return -1;
}

void KGraph::setAxisRange(Axis axis, double min, double max) {
    const bool firstRightAxis = axis == RightYAxis && !rightAxisUsed_;
    if (!firstRightAxis && axes_[axis].min == min && axes_[axis].max == max) return;
    axes_[axis] = {min, max};
    if (axis == RightYAxis) rightAxisUsed_ = true;
    frameChanged();
}

std::pair<double, double> KGraph::axisRange(Axis axis) const {
    return {axes_[axis].min, axes_[axis].max};
}

void KGraph::placeCursor(int cursor, double x, double y) {
    cursors_[cursor - 1].at = {x, y};
    cursors_[cursor - 1].placed = true;
    requestPaint();
}

void KGraph::setCursorPointStyle(int cursor, int style) {
    if (cursors_[cursor - 1].pointStyle == style) return;
    cursors_[cursor - 1].pointStyle = style;
    requestPaint();
}

void KGraph::setCursorColor(int cursor, const QColor &color) {
    cursors_[cursor - 1].color = color;
    requestPaint();
}

void KGraph::clearStrip() {
    strip_.assign(static_cast<size_t>(pointsPerScreen_) * traceCount_, 0.0);
    stripHead_ = stripFill_ = stripTrace_ = 0;
    requestPaint();
}

// The loops hand over their whole history on every cycle: whole samples are copied a row at a
// time, a sample begun by an earlier call is completed value by value.
void KGraph::plotStrip(const double *values, int count) {
    for (int i = 0; i < count;) {
        double *row = strip_.data() + static_cast<size_t>(stripHead_) * traceCount_;
        const int taken = std::min(traceCount_ - stripTrace_, count - i);
        std::copy_n(values + i, taken, row + stripTrace_);
        i += taken;
        stripTrace_ += taken;
        if (stripTrace_ < traceCount_) break;
        stripTrace_ = 0;
        stripHead_ = stripHead_ + 1 == pointsPerScreen_ ? 0 : stripHead_ + 1;
        stripFill_ = std::min(stripFill_ + 1, pointsPerScreen_);
    }
    requestPaint();
}

std::vector<double> KGraph::traceValues(int trace) const {
    std::vector<double> values;
    values.reserve(stripFill_);
    const int first = (stripHead_ - stripFill_ + pointsPerScreen_) % pointsPerScreen_;
    for (int k = 0; k < stripFill_; ++k) {
        const int sample = (first + k) % pointsPerScreen_;
        values.push_back(strip_[static_cast<size_t>(sample) * traceCount_ + trace - 1]);
    }
    return values;
}

void KGraph::setPointsPerScreen(int points) {
    points = std::max(points, 2);
    if (points == pointsPerScreen_) return;
    pointsPerScreen_ = points;
    frameChanged();  // the strip chart's x labels count the points
    clearStrip();
}

void KGraph::setTraceCount(int traces) {
    traces = std::clamp(traces, 1, kMaxTraces);
    if (traces == traceCount_) return;
    traceCount_ = traces;
    clearStrip();
}

void KGraph::setTraceColor(int trace, const QColor &color) {
    traces_[trace - 1].color = color;
    requestPaint();
}

void KGraph::setTraceVisible(int trace, bool visible) {
    traces_[trace - 1].visible = visible;
    requestPaint();
}

void KGraph::setStripChart(bool on) {
    stripChart_ = on;
    frameChanged();
}

void KGraph::setXName(const QString &name) {
    xName_ = name;
    frameChanged();
}

void KGraph::setYName(const QString &name) {
    yName_ = name;
    frameChanged();
}

void KGraph::setXPrecision(int decimals) {
    xPrecision_ = std::clamp(decimals, 0, 15);
    frameChanged();
}

void KGraph::setYPrecision(int decimals) {
    yPrecision_ = std::clamp(decimals, 0, 15);
    frameChanged();
}

void KGraph::setPlotColor(const QColor &color) {
    plotColor_ = color;
    frameChanged();
}

void KGraph::setGridColor(const QColor &color) {
    gridColor_ = color;
    frameChanged();
}

// The plot area leaves room for the tick labels and axis names around it.
QRectF KGraph::plotArea() const {
    const QFontMetrics fm = fontMetrics();
    const int line = fm.height();
    const int label = fm.horizontalAdvance(QStringLiteral("-00000.0")) + kMargin;
    const double left = label + (yName_.isEmpty() ? 0 : line);
    const double right = rightAxisUsed_ ? label : kMargin + fm.horizontalAdvance('0') * 2;
    const double bottom = line + kMargin + (xName_.isEmpty() ? 0 : line);
    return QRectF(left, line / 2.0 + kMargin, width() - left - right,
                  height() - bottom - line / 2.0 - kMargin);
}

QPointF KGraph::toPixel(const QRectF &area, double x, double y) const {
    const Range &rx = axes_[XAxis];
    const Range &ry = axes_[LeftYAxis];
    const double sx = rx.max != rx.min ? area.width() / (rx.max - rx.min) : 0.0;
    const double sy = ry.max != ry.min ? area.height() / (ry.max - ry.min) : 0.0;
    return {area.left() + (x - rx.min) * sx, area.bottom() - (y - ry.min) * sy};
}

// A new picture repaints the whole graph.
void KGraph::frameChanged() {
    frameValid_ = false;
    paintRequested_ = true;
    update();
}

// A loop changes a graph many times between two paints; the first change asks for the paint,
// the others find it asked for and cost nothing. Plots and cursors are clipped to the plot
// area, so while the picture around it stands, only that area is repainted.
void KGraph::requestPaint() {
    if (paintRequested_) return;
    paintRequested_ = true;
    if (frameValid_)
        update(area_.toAlignedRect());
    else
        update();
}

void KGraph::resizeEvent(QResizeEvent *) {
    frameValid_ = false;
}

// The tick labels follow the font, the palette and the enabled state.
void KGraph::changeEvent(QEvent *event) {
    const QEvent::Type t = event->type();
    if (t == QEvent::FontChange || t == QEvent::PaletteChange || t == QEvent::EnabledChange ||
        t == QEvent::StyleChange)
        frameChanged();
    QWidget::changeEvent(event);
}

// The brush the graph's surroundings show: that of the nearest widget, the graph itself
// included, that fills its background; the window at the latest.
void KGraph::fillBackground(QPainter &painter) const {
    const QWidget *filler = this;
    while (!filler->isWindow() && !filler->autoFillBackground()) filler = filler->parentWidget();
    painter.setBrushOrigin(-mapTo(filler, QPoint(0, 0)));
    painter.fillRect(rect(), filler->palette().brush(filler->backgroundRole()));
}

// The picture of the graph without its plots and cursors, and the plot area, kept until
// something they show changes.
void KGraph::drawFrame() {
    const qreal ratio = devicePixelRatioF();
    if (frame_.size() != size() * ratio) frame_ = QPixmap(size() * ratio);
    frame_.setDevicePixelRatio(ratio);
    QPainter painter(&frame_);
    fillBackground(painter);
    area_ = plotArea();
    frameValid_ = true;
    if (!hasPlotArea()) return;
    painter.setFont(font());
    drawAxes(painter, area_);
}

bool KGraph::hasPlotArea() const {
    return area_.width() >= 2 && area_.height() >= 2;
}

void KGraph::paintEvent(QPaintEvent *event) {
    paintRequested_ = false;
    if (!frameValid_) drawFrame();
    QPainter painter(this);
    const QRectF area = area_;
    // A repaint within the plot area restores it as the picture holds it without copying the
    // whole picture.
    if (hasPlotArea() && area.toAlignedRect().contains(event->rect()))
        restorePlotArea(painter);
    else
        painter.drawPixmap(0, 0, frame_);
    if (!hasPlotArea()) return;  // too small to show anything
    painter.setClipRect(area);
    if (!isEnabled()) painter.setOpacity(kDimmedOpacity);  // a dimmed graph shows its plots faded
    if (stripChart_) {
        drawStrip(painter, area);
    } else {
        for (const Plot &plot : plots_) {
            if (plot.rectangle) {
                const QRectF r = QRectF(toPixel(area, plot.area.left(), plot.area.top()),
                                        toPixel(area, plot.area.right(), plot.area.bottom()))
                                     .normalized();
                painter.fillRect(r, plot.fill);
                painter.setPen(QPen(plot.color, 0));
                painter.drawRect(r);
            } else {
                drawCurve(painter, area, plot);
            }
        }
    }
    drawCursors(painter, area);
}

// The plot area's background, its grid and its outline.
void KGraph::drawGrid(QPainter &painter, const QRectF &area) const {
    painter.fillRect(area, plotColor_);
    painter.setPen(QPen(gridColor_, 0, Qt::DotLine));
    for (int i = 1; i < xDivisions_; ++i) {
        const double px = area.left() + area.width() * i / xDivisions_;
        painter.drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
    }
    for (int i = 1; i < yDivisions_; ++i) {
        const double py = area.top() + area.height() * i / yDivisions_;
        painter.drawLine(QPointF(area.left(), py), QPointF(area.right(), py));
    }
    painter.setPen(QPen(axisColor_, 0));
    painter.drawRect(area);
}

// The plot area, to the last pixel its outline touches, copied from the picture in one piece:
// the picture is opaque, so the copy is a plain copy of its lines, cheaper than filling the area
// and copying the grid lines in strips, and far cheaper than drawing the dotted lines anew.
void KGraph::restorePlotArea(QPainter &painter) const {
    const qreal ratio = frame_.devicePixelRatio();
    const QRect whole = area_.toAlignedRect().adjusted(-1, -1, 1, 1);
    painter.drawPixmap(whole.topLeft(), frame_,
                       QRectF(QPointF(whole.topLeft()) * ratio, QSizeF(whole.size()) * ratio));
}

// Grid and tick labels: as many divisions (up to five) as leave room between the labels.
void KGraph::drawAxes(QPainter &painter, const QRectF &area) {
    const QColor text =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    const QFontMetrics fm = fontMetrics();
    const Range x = stripChart_ ? Range{0.0, pointsPerScreen_ - 1.0} : axes_[XAxis];
    const Range &y = axes_[LeftYAxis];
    const Range &r = axes_[RightYAxis];
    const int xDecimals = stripChart_ ? 0 : xPrecision_;
    auto label = [](double v, int decimals) { return QString::number(v, 'f', decimals); };
    const double xLabel = std::max(fm.horizontalAdvance(label(x.min, xDecimals)),
                                   fm.horizontalAdvance(label(x.max, xDecimals))) +
                          fm.height();
    xDivisions_ = std::clamp(static_cast<int>(area.width() / xLabel), 1, kDivisions);
    yDivisions_ = std::clamp(static_cast<int>(area.height() / (fm.height() * 1.5)), 1, kDivisions);
    axisColor_ = text;
    drawGrid(painter, area);
    const int xDivisions = xDivisions_, yDivisions = yDivisions_;
    for (int i = 0; i <= xDivisions; ++i) {
        const double f = double(i) / xDivisions;
        const double px = area.left() + area.width() * f;
        painter.drawText(QRectF(px - xLabel / 2, area.bottom() + 2, xLabel, fm.height()),
                         Qt::AlignHCenter, label(x.min + (x.max - x.min) * f, xDecimals));
    }
    for (int i = 0; i <= yDivisions; ++i) {
        const double f = double(i) / yDivisions;
        const double py = area.bottom() - area.height() * f;
        painter.drawText(QRectF(0, py - fm.height() / 2.0, area.left() - 4, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         label(y.min + (y.max - y.min) * f, yPrecision_));
        if (rightAxisUsed_)
            painter.drawText(QRectF(area.right() + 4, py - fm.height() / 2.0, width(), fm.height()),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             label(r.min + (r.max - r.min) * f, yPrecision_));
    }
    if (!xName_.isEmpty())
        painter.drawText(QRectF(area.left(), height() - fm.height() - 1, area.width(), fm.height()),
                         Qt::AlignHCenter, xName_);
    if (!yName_.isEmpty()) {
        painter.save();
        painter.translate(1, area.center().y());
        painter.rotate(-90);
        painter.drawText(QRectF(-area.height() / 2, 0, area.height(), fm.height()),
                         Qt::AlignHCenter, yName_);
        painter.restore();
    }
}

// The curve as one polyline from a reused buffer, no allocation per point; the marks at the
// same points.
void KGraph::drawCurve(QPainter &painter, const QRectF &area, const Plot &plot) {
    pixels_.clear();
    for (const QPointF &p : plot.points) pixels_.push_back(toPixel(area, p.x(), p.y()));
    if (plot.style != Scatter && pixels_.size() > 1) {
        painter.setPen(QPen(plot.color, plot.style == FatLine ? 2 : 0));
        painter.drawPolyline(pixels_.data(), static_cast<int>(pixels_.size()));
    }
    if (plot.style != ThinLine && plot.style != FatLine)
        drawPointMarks(painter, plot.pointStyle, plot.color);
}

// Marks at the points in pixels_.
void KGraph::drawPointMarks(QPainter &painter, int pointStyle, const QColor &color) {
    if (pointStyle == NoPoint) return;
    painter.setPen(QPen(color, 0));
    if (pointStyle == SimpleDot) {
        painter.drawPoints(pixels_.data(), static_cast<int>(pixels_.size()));
        return;
    }
    marks_.clear();
    for (const QPointF &p : pixels_)
        marks_.emplace_back(p.x() - kMark / 2, p.y() - kMark / 2, kMark, kMark);
    painter.setBrush(color);
    painter.drawRects(marks_.data(), static_cast<int>(marks_.size()));
    painter.setBrush(Qt::NoBrush);
}

// Each trace one polyline from a reused buffer: one point per sample, no allocation. A trace
// whose every point lies beyond the top or the bottom of the plot area (a pixel trace on a
// millimetre axis) would be clipped away whole and is not drawn.
void KGraph::drawStrip(QPainter &painter, const QRectF &area) {
    if (stripFill_ < 2) return;
    const Range &y = axes_[LeftYAxis];
    const double sx = area.width() / (pointsPerScreen_ - 1);
    const double sy = y.max != y.min ? area.height() / (y.max - y.min) : 0.0;
    const int first = (stripHead_ - stripFill_ + pointsPerScreen_) % pointsPerScreen_;
    for (int t = 0; t < traceCount_; ++t) {
        if (!traces_[t].visible) continue;
        painter.setPen(QPen(traces_[t].color, 0));
        // A value that is not a number is no sample (a recording that has just begun): the
        // trace breaks there.
        pixels_.clear();
        for (int k = 0; k < stripFill_; ++k) {
            const int sample = (first + k) % pointsPerScreen_;
            const double v = strip_[static_cast<size_t>(sample) * traceCount_ + t];
            if (std::isnan(v)) {
                drawStripPiece(painter, area);
                pixels_.clear();
            } else {
                pixels_.emplace_back(area.left() + k * sx, area.bottom() - (v - y.min) * sy);
            }
        }
        drawStripPiece(painter, area);
    }
}

// Draws the piece of a trace in `pixels_`, unless it lies wholly beyond the top or the bottom.
void KGraph::drawStripPiece(QPainter &painter, const QRectF &area) {
    constexpr double kBeyond = 2.0;  // pixels beyond the edge, clear of any line's last pixel
    if (pixels_.size() < 2) return;
    bool above = true, below = true, flat = true;
    for (const QPointF &p : pixels_) {
        above = above && p.y() < area.top() - kBeyond;
        below = below && p.y() > area.bottom() + kBeyond;
        flat = flat && p.y() == pixels_.front().y();
    }
    if (above || below) return;
    // A flat trace (the set-point, a threshold) is one line: the same pixels as its hundred
    // pieces, drawn at the cost of one.
    if (flat)
        painter.drawLine(pixels_.front(), pixels_.back());
    else
        painter.drawPolyline(pixels_.data(), static_cast<int>(pixels_.size()));
}

// A cursor is a dotted vertical line with its point mark; the style "no point" hides it.
void KGraph::drawCursors(QPainter &painter, const QRectF &area) {
    for (const Cursor &c : cursors_) {
        if (!c.placed || c.pointStyle == NoPoint) continue;
        const QPointF at = toPixel(area, c.at.x(), c.at.y());
        painter.setPen(QPen(c.color, 0, Qt::DotLine));
        painter.drawLine(QPointF(at.x(), area.top()), QPointF(at.x(), area.bottom()));
        pixels_.assign(1, at);
        drawPointMarks(painter, SolidSquare, c.color);
    }
}
