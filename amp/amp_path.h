// All DSP state of one preamp path (input stage, the three channel sections, tone stack and the
// oversampling cascade around them), and the pieces both plug-ins build their chains from.
#pragma once

#include "amp/amp_design.h"
#include "amp/biquad.h"
#include "amp/halfband.h"
#include "amp/tone_stack.h"
#include "amp/triode_stage.h"

namespace amp {

// Gain constants in which the two plug-ins' channel sections differ.
struct ChannelVoicing {
    double cleanGainNormal;  // clean make-up gain, bright off
    double cleanGainBright;  // clean make-up gain, bright on
    double crunchCeiling;    // ceiling of the crunch limiter
    double overdriveEndGain; // level at the end of the overdrive section
};

inline constexpr ChannelVoicing fullStackVoicing{6.0, 5.3, 500.0, 1.0};
inline constexpr ChannelVoicing preampOnlyVoicing{5.0, 4.2, 187.5, 0.75};

// Switch flags, 0 or 1. channel: 1 selects channel 2 (overdrive); crunch: on channel 1, 1 selects
// crunch over clean; boost acts on channel 2 only; bright means something different in each section.
struct AmpSwitches {
    int channel = 0;
    int crunch = 0;
    int boost = 0;
    int bright = 0;
};

// Control values the preamp section reads: levels as given (0..1), drive gains already tapered.
struct PreampControls {
    double input = 0;
    double drive1Gain = 0;
    double drive2Gain = 0;
    double low = 0, mid = 0, high = 0, contour = 0;
};

// Drive pot taper: 0.089125 at 0, 0.29855 at 0.5, 1.000025 at 1.
constexpr double driveTaper(double d) noexcept { return 0.9841 * d * d - 0.0732 * d + 0.089125; }

// Contour-dependent level after the tone stack, before each plug-in's own scale factor.
constexpr double contourLevel(double c) noexcept { return 1.0298 * c - 0.1077 * c * c + 0.5225; }

// Soft limit of the positive half towards `ceiling` (small-signal slope 0.004 * ceiling); values
// at or below zero pass unchanged.
double softLimitPositive(double s, double ceiling) noexcept;

struct AmpPath {
    TriodeStage stageInput, stageCleanA, stageCleanB, stageCrunchA, stageCrunchB, stageCh2A, stageCh2B;

    Biquad shelfCleanBright, shelfClean, lpClean;
    Biquad shelfCrunchBright, shelfCrunch, lpCrunch;
    Biquad shelfCh2Pre, lpCh2Pre, lpCh2Post, peakCh2Bright;

    ToneStack toneStack;

    HalfbandInterpolator<6> interpolator1;
    HalfbandDecimator<6> decimator1;
    HalfbandInterpolator<4> interpolator2;
    HalfbandDecimator<4> decimator2;
    HalfbandInterpolator<2> interpolator3;
    HalfbandDecimator<2> decimator3;

    int factor = 4;
    double T = 1.0 / 176400.0;
    double oversampledRate = 176400.0;

    // Puts all seven stages at their resting points for `rate`.
    void setupStages(double rate) noexcept;

    // Takes a prepared design: stage rates, tone stack and biquads redesigned (their histories
    // cleared), oversampler coefficients reloaded (their states kept).
    void adopt(const AmpDesign& design) noexcept;

    // x * Input, the input stage, the selected channel section, then the tone stack.
    double preampSection(const ChannelVoicing& voicing, const AmpSwitches& switches, const PreampControls& controls,
                         double s) noexcept;

    // One host-rate sample through the oversampling cascade; chain(double&) runs on every
    // oversampled sample, in time order.
    template <class Chain>
    float process(float x, Chain&& chain) noexcept
    {
        const HalfbandPair u = interpolator1.process(x);
        const float r0 = level2(u.first, chain);
        const float r1 = level2(u.second, chain);
        return decimator1.process(r0, r1);
    }

private:
    template <class Chain>
    static float runChain(float v, Chain& chain) noexcept
    {
        double s = v;
        chain(s);
        return static_cast<float>(s);
    }

    template <class Chain>
    float level3(float v, Chain& chain) noexcept
    {
        if (factor != 8) return runChain(v, chain);
        const HalfbandPair u = interpolator3.process(v);
        const float r0 = runChain(u.first, chain);
        const float r1 = runChain(u.second, chain);
        return decimator3.process(r0, r1);
    }

    template <class Chain>
    float level2(float v, Chain& chain) noexcept
    {
        if (factor != 4 && factor != 8) return runChain(v, chain);
        const HalfbandPair u = interpolator2.process(v);
        const float r0 = level3(u.first, chain);
        const float r1 = level3(u.second, chain);
        return decimator2.process(r0, r1);
    }
};

// The channel section picked by the switches: clean, crunch or channel 2.
double channelSection(AmpPath& path, const ChannelVoicing& voicing, const AmpSwitches& switches, double drive1Gain,
                      double drive2Gain, double s) noexcept;

} // namespace amp
