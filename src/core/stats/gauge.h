// Type-1 gauge study (VDA 5, ISO 22514-7, AIAG MSA): repeated measurements of one reference part
// against its reference value and the tolerance of the characteristic. Plain C++.
#pragma once
#include <string>

#include "figure.h"
#include "summary.h"

// Cg and Cgk must reach this; the resolution may take at most this share of the tolerance [%].
inline constexpr double kCapableGauge = 1.33;
inline constexpr double kMostResolutionPercent = 5.0;

struct GaugeStudy {
    ValueSummary values;
    double reference = 0, tolerance = 0, resolution = 0;
    double bias = 0;           // mean - reference
    Figure repeatability;      // s: the sample standard deviation
    Figure cg;                 // 0.2 T / (6 s)
    Figure cgk;                // (0.1 T - |mean - reference|) / (3 s)
    Figure resolutionPercent;  // %RE: resolution / T x 100
    bool capable = false;      // "capable": Cg and Cgk at least 1.33, %RE at most 5 %
    std::string why;           // else what falls short: "Cgk 1.12 below 1.33, ..."
};

// The study of `values` measured on a part of `reference`, for a characteristic of tolerance
// `tolerance` (upper minus lower limit), by a gauge that shows steps of `resolution`.
GaugeStudy GaugeStudyOf(const ValueSummary &values, double reference, double tolerance,
                        double resolution);
