// High-pass after the power-amp curve that removes the curve's resting offset.
#pragma once

#include "amp/biquad.h"

namespace amp {

// The power-amp curve's output at zero drive; the blocker's input history starts there.
inline constexpr double powerAmpRestingOutput = -0.212997229504;

struct DcBlocker {
    Biquad filter;

    static BiquadCoefficients design(double rate) noexcept { return BiquadCoefficients::highPass(2.0, 0.7, rate); }

    // New coefficients with the history preset as if the curve had always rested at zero drive,
    // so a silent start produces no step.
    void setup(const BiquadCoefficients& coefficients) noexcept
    {
        filter.setCoefficients(coefficients);
        filter.x1 = filter.x2 = powerAmpRestingOutput;
    }

    double process(double x) noexcept { return filter.process(x); }
};

} // namespace amp
