// Everything the sample-rate set-up computes for one preamp path, prepared as a value so it can be
// built on any thread and adopted by the audio thread in one step.
#pragma once

#include "amp/biquad.h"
#include "amp/tone_stack.h"

namespace amp {

struct AmpDesign {
    int factor = 4;
    double T = 1.0 / 176400.0;
    double oversampledRate = 176400.0;

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
