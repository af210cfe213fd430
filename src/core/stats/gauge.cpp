#include "gauge.h"

#include <cmath>
#include <cstdio>

namespace {

// "Cg 1.02 below 1.33" for a figure short of the goal; "Cg -: no spread (sigma 0)" for none.
std::string shortfall(const char *name, const Figure &f) {
    char text[96];
    if (!f.known())
        std::snprintf(text, sizeof text, "%s -: %s", name, f.missing);
    else
        std::snprintf(text, sizeof text, "%s %.2f below %.2f", name, f.value, kCapableGauge);
    return text;
}

}  // namespace

GaugeStudy GaugeStudyOf(const ValueSummary &values, double reference, double tolerance,
                        double resolution) {
    GaugeStudy g;
    g.values = values;
    g.reference = reference;
    g.tolerance = tolerance;
    g.resolution = resolution;
    g.bias = values.mean - reference;
    g.repeatability = values.sigma();
    const double s = g.repeatability.value;
    const char *missing = !g.repeatability.known() ? g.repeatability.missing
                          : s <= 0                 ? kNoSpread
                                                   : nullptr;
    if (missing) {
        g.cg = g.cgk = Figure::none(missing);
    } else {
        g.cg = Figure::of(0.2 * tolerance / (6 * s));
        g.cgk = Figure::of((0.1 * tolerance - std::fabs(g.bias)) / (3 * s));
    }
    g.resolutionPercent =
        tolerance > 0 ? Figure::of(100.0 * resolution / tolerance) : Figure::none("no tolerance");
    std::string why;
    for (const auto &[name, f] : {std::pair("Cg", g.cg), std::pair("Cgk", g.cgk)})
        if (!f.known() || f.value < kCapableGauge)
            why += (why.empty() ? "" : ", ") + shortfall(name, f);
    if (g.resolutionPercent.known() && g.resolutionPercent.value > kMostResolutionPercent) {
        char text[64];
        std::snprintf(text, sizeof text, "%%RE %.1f %% above %.0f %%", g.resolutionPercent.value,
                      kMostResolutionPercent);
        why += (why.empty() ? "" : ", ") + std::string(text);
    }
    g.capable = why.empty();
    g.why = why;
    return g;
}
