// plot: a recording as a picture, drawn by the program's own graph control off the screen.
#include <QCommandLineParser>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "cliargs.h"
#include "commands.h"
#include "console.h"
#include "platform/ui/kgraph.h"
#include "recording.h"

namespace {

constexpr double kUmPerMm = 1000.0;
const QColor kValColor(0x006400), kMasterColor(0x0050C8), kSlaveColor(0xC80000),
    kSetpointColor(Qt::black), kBandColor(0xD8F0D8);

// Lowest and highest value the chart must show [mm], with a little room around.
std::pair<double, double> valueRange(const RecFile &file, double setpoint, double upper,
                                     double lower) {
    double lo = std::min(setpoint, lower), hi = std::max(setpoint, upper);
    for (const RecSample &s : file.samples) {
        lo = std::min({lo, s.ma / kUmPerMm, s.sl / kUmPerMm, s.val / kUmPerMm});
        hi = std::max({hi, s.ma / kUmPerMm, s.sl / kUmPerMm, s.val / kUmPerMm});
    }
    const double room = hi > lo ? (hi - lo) * 0.05 : 1.0;
    return {lo - room, hi + room};
}

// The names of the traces in their colours, at the top right of the chart.
void drawLegend(QImage &image, bool band) {
    QPainter painter(&image);
    painter.setFont(QFont("DejaVu Sans", 8));
    const std::vector<std::pair<QString, QColor>> items = {
        {"VAL", kValColor},
        {"MA", kMasterColor},
        {"SL", kSlaveColor},
        {"set-point", kSetpointColor},
    };
    int x = image.width() - 12;
    if (band) {
        const int w = painter.fontMetrics().horizontalAdvance("tolerance band");
        x -= w;
        painter.fillRect(x - 2, 4, w + 4, 14, kBandColor);
        painter.setPen(Qt::black);
        painter.drawText(x, 15, "tolerance band");
        x -= 12;
    }
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const int w = painter.fontMetrics().horizontalAdvance(it->first);
        x -= w;
        painter.setPen(it->second);
        painter.drawText(x, 15, it->first);
        painter.fillRect(x - 16, 10, 12, 2, it->second);
        x -= 28;
    }
}

}  // namespace

int CmdPlot(const QCommandLineParser &args) {
    RecFile file;
    if (const int status = LoadRecording(args, file); status != EXIT_OK) return status;
    const Tolerances tol = TolerancesOf(args);
    const int width = args.isSet("width") ? args.value("width").toInt() : 800;
    const int height = args.isSet("height") ? args.value("height").toInt() : 500;

    const double setpoint = file.header.setpoint / kUmPerMm;
    const double upper = setpoint + tol.upper.value_or(0) / kUmPerMm;
    const double lower = setpoint - tol.lower.value_or(0) / kUmPerMm;
    std::vector<double> t, ma, sl, val;
    for (const RecSample &s : file.samples) {
        t.push_back(s.elapsed);
        ma.push_back(s.ma / kUmPerMm);
        sl.push_back(s.sl / kUmPerMm);
        val.push_back(s.val / kUmPerMm);
    }
    const double span = t.empty() ? 0.0 : t.back();
    const double tEnd = span > 0 ? span : 1.0;

    KGraph graph;
    graph.resize(width, height);
    graph.setXName("Time since the first sample [s]");
    graph.setYName("Value [mm]");
    graph.setYPrecision(3);
    graph.setAxisRange(KGraph::XAxis, 0.0, tEnd);
    const auto [yMin, yMax] = valueRange(file, setpoint, upper, lower);
    graph.setAxisRange(KGraph::LeftYAxis, yMin, yMax);
    const bool band = tol.upper || tol.lower;
    if (band) graph.plotRectangle(QRectF(0.0, lower, tEnd, upper - lower), kBandColor, kBandColor);
    const double setpointX[] = {0.0, tEnd}, setpointY[] = {setpoint, setpoint};
    graph.plotXY(setpointX, setpointY, 2, KGraph::ThinLine, KGraph::NoPoint, kSetpointColor);
    const int n = static_cast<int>(t.size());
    // The thin traces over the thick one: where VAL is a sensor's value, both stay visible.
    graph.plotXY(t.data(), val.data(), n, KGraph::FatLine, KGraph::NoPoint, kValColor);
    graph.plotXY(t.data(), ma.data(), n, KGraph::ThinLine, KGraph::NoPoint, kMasterColor);
    graph.plotXY(t.data(), sl.data(), n, KGraph::ThinLine, KGraph::NoPoint, kSlaveColor);

    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    graph.render(&image);
    drawLegend(image, band);
    const QString out = args.value("out");
    if (!image.save(out, "PNG")) return Fail(EXIT_CANT_CREATE, "cannot write " + out);
    return EXIT_OK;
}
