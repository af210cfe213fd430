// One sensor's CCD line: the image of the laser line, its video profile and the evaluation
// the sensor's firmware makes of it. Everything is a function of the time and the seed, so a
// run is reproducible.
#pragma once
#include <array>
#include <cstdint>

#include "wire/wire.h"

constexpr int PROFILE_POINTS = 128;

struct LineScan {
    std::array<uint16_t, PROFILE_POINTS> profile{};  // intensities 0..adcMax
    uint16_t position = 0;                           // centre of the object [pixel]
    uint16_t start = 0;                              // object start [pixel]
    uint16_t end = 0;                                // object end [pixel]
    uint16_t edge = 0;        // peak intensity of the object, 0 when none was found
    uint16_t powerValue = 0;  // regulated power (dynamic power mode)
    uint16_t exposureUs = 0;  // regulated integration time [us] (exposure control)
};

class LaserLine {
  public:
    // `still`: the part does not move, only the line's jitter of `jitter` pixels remains.
    LaserLine(uint64_t seed, int sensor, bool still = false, double jitter = 1.5);

    // Where the line's image lies at time `now` [pixel]: around `teach`, drifting slowly.
    double centre(double teach, double now) const;

    // Video profile and evaluation with the sensor's parameter set.
    LineScan scan(const ParaSensor &set, int subpixels, int adcMax, double now) const;

  private:
    double noise(uint64_t channel, double now) const;  // -1..1, reproducible
    double brightness(const ParaSensor &set, int adcMax, double now, LineScan &scan) const;
    void evaluate(const ParaSensor &set, int subpixels, int adcMax, LineScan &scan) const;

    uint64_t seed_;
    double phase_[3];
    bool still_;
    double jitter_;
};
