// What plot draws: a recording gathered into at most one bin per pixel column, the marks beside
// the traces, and the two entry points of the plot module, which draws them with Qt Gui.
// k-tav-cli loads the module only when plot runs, so that its other commands start without Qt
// Gui and the libraries it pulls in (X11, OpenGL, fonts, text shaping).
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/measure/recreader.h"

class QCoreApplication;
class QString;

inline constexpr double kUmPerMm = 1000.0;

// The traces in drawing order: the thin traces over the thick one, so that where VAL is a
// sensor's value both stay visible.
struct Trace {
    const char *name;
    int32_t RecSample::*value;
    uint32_t rgb;  // colour as 0xRRGGBB
    int width;     // line width [px]
};
inline constexpr std::array<Trace, 3> kTraces = {{
    {"VAL", &RecSample::val, 0x006400, 2},
    {"MA", &RecSample::ma, 0x0050C8, 1},
    {"SL", &RecSample::sl, 0xC80000, 1},
}};

// The values one trace takes within a bin [µm].
struct Extent {
    int32_t first, last, min, max;
};

// The samples of one stretch of time.
struct Bin {
    bool empty = true;
    double tFirst = 0, tLast = 0;  // seconds since the first sample
    std::array<Extent, kTraces.size()> traces{};
};

// Bin `b` followed by bin `next`, as one.
inline Bin joined(const Bin &b, const Bin &next) {
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
// them, neighbours are joined in pairs and each bin covers twice the time. The first bins are
// short, so that a short recording keeps what happens within a second.
struct Bins {
    std::vector<Bin> bins;
    double seconds = 1.0 / 1024;

    // Sample `s` at `t` seconds since the first sample.
    void add(double t, const RecSample &s) {
        t = std::max(t, 0.0);  // a clock set back before the start
        const auto size = static_cast<int64_t>(bins.size());
        while (static_cast<int64_t>(t / seconds) >= size) {
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
        Bin &b = bins[static_cast<size_t>(t / seconds)];
        b = joined(b, sample);
    }

    double span() const {
        double t = 0;
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

// The time stamps are whole seconds: the samples that share one are spread evenly over its
// second in their order, `increment` apart where the header gives one that fits into it, so that
// ten samples a second are drawn as they came and not as stairs a second wide. Takes the samples
// in file order and hands each on with its time to `take`; `finish` hands on the last stamp's.
class SecondSpreader {
  public:
    explicit SecondSpreader(double increment) : increment_(increment) {}

    template <typename Take>
    void add(const RecSample &s, Take take) {
        if (!group_.empty() && s.elapsed != group_.front().elapsed) finish(take);
        group_.push_back(s);
    }

    template <typename Take>
    void finish(Take take) {
        const size_t n = group_.size();
        const double step = increment_ > 0 && increment_ * double(n) <= 1.0 + 1e-9
                                ? increment_
                                : 1.0 / double(std::max<size_t>(n, 1));
        for (size_t i = 0; i < n; ++i)
            take(double(group_[i].elapsed) + double(i) * step, group_[i]);
        spread_ = spread_ || n > 1;
        group_.clear();
    }

    // Some stamp was shared by several samples, which were spread.
    bool spread() const { return spread_; }

  private:
    double increment_;
    std::vector<RecSample> group_;  // the samples of the current stamp
    bool spread_ = false;
};

// What the chart shows beside the traces.
struct Marks {
    std::optional<double> setpoint;                 // [mm]
    std::optional<std::pair<double, double>> band;  // lower and upper tolerance limit [mm]
    bool spreadSeconds = false;  // samples sharing a time stamp were spread: the caption says so
    std::vector<std::string> notes;  // lines above the chart: the sidecar's pair and calibration
};

// The module's file name; k-tav-cli looks for it beside itself (the build tree) and in the
// package's private library folder.
inline constexpr char kPlotModuleFile[] = "ktav-plot.so";

// Makes the application object plot draws with: a QGuiApplication, on the offscreen platform
// unless one is chosen, since the picture goes to a file and needs no display.
using MakePlotApplicationFn = QCoreApplication *(*)(int &argc, char **argv);
inline constexpr char kMakePlotApplicationSymbol[] = "KtavMakePlotApplication";

// Draws the chart of `bins` and `marks` into a picture of `width` x `height` pixels and writes
// it as PNG to `out`, whole or not at all: false when it cannot be written.
using DrawPlotFn = bool (*)(const Bins &bins, const Marks &marks, int width, int height,
                            const QString &out);
inline constexpr char kDrawPlotSymbol[] = "KtavDrawPlot";
