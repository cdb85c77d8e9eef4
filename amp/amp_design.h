// Everything the sample-rate set-up computes for one preamp path, prepared as a value so it can be
// built on any thread and adopted by the audio thread in one step.
#pragma once

#include <array>
#include <cmath>

#include "amp/biquad.h"
#include "amp/tone_stack.h"

namespace amp {

// Countdowns the denormal guard's sine is tabled for; hosts' blocks are rarely longer.
inline constexpr int kGuardTableSize = 2048;

// The phase step of the denormal guard per host sample at oversampled period T: 2*pi*1000 * T, with the
// program's value of 2*pi*1000.
inline double guardSine(int countdown, double T) noexcept
{
    return std::sin(static_cast<double>(countdown) * 6283.19304 * T);
}

struct AmpDesign {
    int factor = 4;
    double T = 1.0 / 176400.0;
    double oversampledRate = 176400.0;
    // guardSine(n, T) for n = 0 .. kGuardTableSize - 1, so that the audio path looks it up instead of
    // evaluating a sine for every host sample.
    std::array<double, kGuardTableSize> guardSines{};

    BiquadCoefficients shelfCleanBright, shelfClean, lpClean;
    BiquadCoefficients shelfCrunchBright, shelfCrunch, lpCrunch;
    BiquadCoefficients shelfCh2Pre, lpCh2Pre, lpCh2Post, peakCh2Bright;
    BiquadCoefficients dcBlocker;
    ToneStackDesign toneStack;
};

// Design at host rate and quality: oversampledRate = hostRate * factor, T = 1 / oversampledRate.
AmpDesign makeAmpDesign(double hostRate, bool highQ) noexcept;

// Design for a factor and oversampled rate already worked out (a caller that derives the rate from
// T = 1 / (factor * hostRate) passes its own T and rate).
AmpDesign makeAmpDesign(int factor, double T, double oversampledRate) noexcept;

} // namespace amp
