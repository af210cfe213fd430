// KGraph: the graph control, drawn with QPainter. As a graph it holds plots with handles (XY
// curves and rectangles), two cursors and manually scaled axes; as a strip chart (property
// stripChart) it holds the last pointsPerScreen samples of up to 16 traces. Every change asks
// for one repaint (update()), so many changes in one event-loop pass cost one paint. The plot
// area's background, grid, tick labels and axis names are kept as a picture and drawn anew only
// when the axes, the names, the colours or the size change, so a new value costs no text layout.
// The picture is opaque: it shows the background of the graph's surroundings itself.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <array>
#include <utility>
#include <vector>

class KGraph : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool stripChart READ isStripChart WRITE setStripChart)
    Q_PROPERTY(QString xName READ xName WRITE setXName)
    Q_PROPERTY(QString yName READ yName WRITE setYName)
    Q_PROPERTY(int xPrecision READ xPrecision WRITE setXPrecision)
    Q_PROPERTY(int yPrecision READ yPrecision WRITE setYPrecision)
    Q_PROPERTY(QColor plotColor READ plotColor WRITE setPlotColor)
    Q_PROPERTY(QColor gridColor READ gridColor WRITE setGridColor)
    Q_PROPERTY(int pointsPerScreen READ pointsPerScreen WRITE setPointsPerScreen)
    Q_PROPERTY(int traceCount READ traceCount WRITE setTraceCount)
    Q_PROPERTY(double xMinimum READ xMinimum WRITE setXMinimum)
    Q_PROPERTY(double xMaximum READ xMaximum WRITE setXMaximum)
    Q_PROPERTY(double yMinimum READ yMinimum WRITE setYMinimum)
    Q_PROPERTY(double yMaximum READ yMaximum WRITE setYMaximum)

  public:
    static constexpr int kMaxTraces = 16;
    enum Axis { XAxis = 0, LeftYAxis = 1, RightYAxis = 2 };
    enum PlotStyle { ThinLine = 0, Scatter = 1, ConnectedPoints = 5, FatLine = 6 };
    enum PointStyle { SimpleDot = 10, SolidSquare = 13, NoPoint = 24 };

    explicit KGraph(QWidget *parent = nullptr);

    // Graph: plots return their handle (> 0).
    int plotXY(const double *x, const double *y, int count, int style, int pointStyle,
               const QColor &color);
    int plotXY(const double *x, const unsigned short *y, int count, int style, int pointStyle,
               const QColor &color);
    int plotRectangle(const QRectF &area, const QColor &frame, const QColor &fill);
    bool deletePlot(int handle, bool redraw);  // handle -1: every plot
    int plotCount() const { return static_cast<int>(plots_.size()); }
    // The rectangles plotted, in drawing order, each with its fill colour.
    std::vector<std::pair<QRectF, QColor>> rectangles() const;
    int pointCount(int handle) const;  // of a curve; -1 for no such curve

    void setAxisRange(Axis axis, double min, double max);
    std::pair<double, double> axisRange(Axis axis) const;
    // The x axis and the left y axis one limit at a time, as the panel files give them.
    double xMinimum() const { return axes_[XAxis].min; }
    void setXMinimum(double v) { setAxisRange(XAxis, v, axes_[XAxis].max); }
    double xMaximum() const { return axes_[XAxis].max; }
    void setXMaximum(double v) { setAxisRange(XAxis, axes_[XAxis].min, v); }
    double yMinimum() const { return axes_[LeftYAxis].min; }
    void setYMinimum(double v) { setAxisRange(LeftYAxis, v, axes_[LeftYAxis].max); }
    double yMaximum() const { return axes_[LeftYAxis].max; }
    void setYMaximum(double v) { setAxisRange(LeftYAxis, axes_[LeftYAxis].min, v); }

    // Cursors 1 and 2.
    void placeCursor(int cursor, double x, double y);
    QPointF cursorPosition(int cursor) const { return cursors_[cursor - 1].at; }
    void setCursorPointStyle(int cursor, int style);
    int cursorPointStyle(int cursor) const { return cursors_[cursor - 1].pointStyle; }
    void setCursorColor(int cursor, const QColor &color);
    QColor cursorColor(int cursor) const { return cursors_[cursor - 1].color; }

    // Strip chart: values interleaved, trace 1 first; a partial sample is completed by the
    // next call. Changing the points per screen or the trace count clears the chart.
    void plotStrip(const double *values, int count);
    void clearStrip();
    std::vector<double> traceValues(int trace) const;  // oldest first; trace from 1
    int pointsPerScreen() const { return pointsPerScreen_; }
    void setPointsPerScreen(int points);
    int traceCount() const { return traceCount_; }
    void setTraceCount(int traces);
    void setTraceColor(int trace, const QColor &color);
    QColor traceColor(int trace) const { return traces_[trace - 1].color; }
    void setTraceVisible(int trace, bool visible);
    bool isTraceVisible(int trace) const { return traces_[trace - 1].visible; }

    bool isStripChart() const { return stripChart_; }
    void setStripChart(bool on);
    QString xName() const { return xName_; }
    void setXName(const QString &name);
    QString yName() const { return yName_; }
    void setYName(const QString &name);
    int xPrecision() const { return xPrecision_; }
    void setXPrecision(int decimals);
    int yPrecision() const { return yPrecision_; }
    void setYPrecision(int decimals);
    QColor plotColor() const { return plotColor_; }
    void setPlotColor(const QColor &color);
    QColor gridColor() const { return gridColor_; }
    void setGridColor(const QColor &color);

    QSize sizeHint() const override { return {300, 200}; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    struct Plot {
        int handle;
        bool rectangle;
        std::vector<QPointF> points;  // curve: data coordinates
        QRectF area;                  // rectangle: data coordinates
        int style;
        int pointStyle;
        QColor color;  // curve colour, rectangle frame
        QColor fill;
    };
    struct Cursor {
        QPointF at;
        bool placed = false;
        int pointStyle = SolidSquare;
        QColor color;
    };
    struct Trace {
        QColor color;
        bool visible = true;
    };
    struct Range {
        double min, max;
    };

    Plot &newPlot();
    template <typename Y>
    int plotCurve(const double *x, const Y *y, int count, int style, int pointStyle,
                  const QColor &color);
    QRectF plotArea() const;
    QPointF toPixel(const QRectF &area, double x, double y) const;
    void requestPaint();  // update(), once until the next paint
    void frameChanged();  // the background picture is stale: drawn anew at the next paint
    void fillBackground(QPainter &painter) const;
    void drawFrame();
    bool hasPlotArea() const;  // of the last picture
    void drawAxes(QPainter &painter, const QRectF &area);
    void drawGrid(QPainter &painter, const QRectF &area) const;
    void restorePlotArea(QPainter &painter) const;
    void drawCurve(QPainter &painter, const QRectF &area, const Plot &plot);
    void drawStrip(QPainter &painter, const QRectF &area);
    void drawStripPiece(QPainter &painter, const QRectF &area);
    void drawCursors(QPainter &painter, const QRectF &area);
    void drawPointMarks(QPainter &painter, int pointStyle, const QColor &color);

    std::vector<Plot> plots_;
    std::vector<std::vector<QPointF>> spare_;  // point buffers of deleted curves, reused
    int nextHandle_ = 1;
    std::array<Range, 3> axes_{{{0.0, 10.0}, {0.0, 10.0}, {0.0, 10.0}}};
    bool rightAxisUsed_ = false;
    std::array<Cursor, 2> cursors_;

    bool stripChart_ = false;
    int pointsPerScreen_ = 100;
    int traceCount_ = 1;
    std::array<Trace, kMaxTraces> traces_;
    std::vector<double> strip_;  // ring of samples, traceCount_ values each
    int stripHead_ = 0;          // the sample slot written next
    int stripFill_ = 0;          // samples held
    int stripTrace_ = 0;         // the trace of the next value within the current sample

    QString xName_, yName_;
    int xPrecision_ = 0, yPrecision_ = 1;
    QColor plotColor_{Qt::white};
    QColor gridColor_{0xC8, 0xC8, 0xC8};

    QPixmap frame_;                        // background, grid, labels and names, as last drawn
    QRectF area_;                          // the plot area they were drawn for
    int xDivisions_ = 1, yDivisions_ = 1;  // of its grid
    QColor axisColor_;                     // of its outline and labels
    bool frameValid_ = false;
    bool paintRequested_ = false;

    std::vector<QPointF> pixels_;  // paint buffers, kept between paints
    std::vector<QRectF> marks_;
};
