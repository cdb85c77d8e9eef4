// All DSP state of one preamp path (input stage, the three channel sections, tone stack and the
// oversampling cascade around them), and the pieces both plug-ins build their chains from.
#pragma once

#include <array>
#include <cmath>

#include "amp/amp_design.h"
#include "amp/biquad.h"
#include "amp/halfband.h"
#include "amp/staggered_chain.h"
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
inline double softLimitPositive(double s, double ceiling) noexcept
{
    return s > 0.0 ? ceiling * (1.0 - std::exp(-0.004 * s)) : s;
}

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

    // Most host samples one call of upsample or downsample takes.
    static constexpr int kMaxRun = 64;

    // Puts all seven stages at their resting points for `rate`.
    void setupStages(double rate) noexcept;

    // Takes a prepared design: stage rates, tone stack and biquads redesigned (their histories
    // cleared), oversampler coefficients reloaded (their states kept).
    void adopt(const AmpDesign& design) noexcept;

    // n <= kMaxRun host samples up to the oversampled rate: n * factor samples in oversampled(), in time order.
    void upsample(const float* x, int n) noexcept;

    // The n * factor samples in oversampled(), which the chain has replaced by its outputs, back down to n
    // host samples in y.
    void downsample(float* y, int n) noexcept;

    // The denormal guard's sine for a host sample with this countdown in its block: guardSine(countdown, T),
    // from the design's table where it reaches.
    double guard(int countdown) const noexcept
    {
        return countdown < kGuardTableSize ? guardSines_[static_cast<std::size_t>(countdown)] : guardSine(countdown, T);
    }

    float* oversampled() noexcept { return factor == 8 ? level3_ : factor == 4 ? level2_ : level1_; }

    // The preamp section (s * Input, the input stage, the channel section the switches pick, the tone stack)
    // and then `tail` over the m oversampled samples in buf, in place, with the stages staggered (see
    // runStaggered): the same results as taking each sample through all of it in turn.
    template <class Tail>
    void runChain(float* buf, int m, const ChannelVoicing& voicing, const AmpSwitches& switches,
                  const PreampControls& controls, Tail&& tail) noexcept;

    // The channel sections in two halves, one triode stage each: the front runs up to and including the
    // filters after the first stage, the back from the second stage to the section's end. Always inlined
    // into the chain's loop, like the stages.
    [[gnu::always_inline]] double cleanFront(const AmpSwitches& switches, double s) noexcept;
    [[gnu::always_inline]] double cleanBack(const ChannelVoicing& voicing, const AmpSwitches& switches, double s) noexcept;
    [[gnu::always_inline]] double crunchFront(const AmpSwitches& switches, double drive1Gain, double s) noexcept;
    [[gnu::always_inline]] double crunchBack(const ChannelVoicing& voicing, double s) noexcept;
    [[gnu::always_inline]] double channel2Front(const AmpSwitches& switches, double drive2Gain, double s) noexcept;
    [[gnu::always_inline]] double channel2Back(const ChannelVoicing& voicing, const AmpSwitches& switches, double s) noexcept;

private:
    std::array<double, kGuardTableSize> guardSines_{};
    // Samples at each oversampling level: 2, 4 and 8 per host sample.
    float level1_[2 * kMaxRun] = {};
    float level2_[4 * kMaxRun] = {};
    float level3_[8 * kMaxRun] = {};
};

// The channel section picked by the switches: clean, crunch or channel 2, one oversampled sample.
double channelSection(AmpPath& path, const ChannelVoicing& voicing, const AmpSwitches& switches, double drive1Gain,
                      double drive2Gain, double s) noexcept;

// ---- inline definitions: the chain's elements are inlined into its loop ----

[[gnu::always_inline]] inline double AmpPath::cleanFront(const AmpSwitches& switches, double s) noexcept
{
    // The bright switch cuts the bass and trades the fixed pad for its own gain staging.
    s = 0.22 * s;
    s = switches.bright != 0 ? 0.1 * shelfCleanBright.process(s) : 0.0766 * s;
    stageCleanA.process(s, oversampledRate);
    s = shelfClean.process(s);
    return lpClean.process(s);
}

[[gnu::always_inline]] inline double AmpPath::cleanBack(const ChannelVoicing& voicing, const AmpSwitches& switches, double s) noexcept
{
    stageCleanB.process(s, oversampledRate);
    return (switches.bright != 0 ? voicing.cleanGainBright : voicing.cleanGainNormal) * s;
}

[[gnu::always_inline]] inline double AmpPath::crunchFront(const AmpSwitches& switches, double drive1Gain, double s) noexcept
{
    s = switches.bright != 0 ? shelfCrunchBright.process(s) : 0.5 * s;
    s = drive1Gain * s;
    stageCrunchA.process(s, oversampledRate);
    s = shelfCrunch.process(s);
    return lpCrunch.process(s);
}

[[gnu::always_inline]] inline double AmpPath::crunchBack(const ChannelVoicing& voicing, double s) noexcept
{
    stageCrunchB.process(s, oversampledRate);
    return softLimitPositive(s, voicing.crunchCeiling);
}

[[gnu::always_inline]] inline double AmpPath::channel2Front(const AmpSwitches& switches, double drive2Gain, double s) noexcept
{
    s = shelfCh2Pre.process(s);
    s = drive2Gain * s;
    s = lpCh2Pre.process(s);
    stageCh2A.process(s, oversampledRate);
    if (switches.boost != 0) s = 2.0 * s;
    return lpCh2Post.process(1.8 * s);
}

[[gnu::always_inline]] inline double AmpPath::channel2Back(const ChannelVoicing& voicing, const AmpSwitches& switches, double s) noexcept
{
    stageCh2B.process(s, oversampledRate);
    s = softLimitPositive(s, 250.0);
    if (switches.bright != 0) s = peakCh2Bright.process(s);
    return voicing.overdriveEndGain * s;
}

template <class Tail>
void AmpPath::runChain(float* buf, int m, const ChannelVoicing& voicing, const AmpSwitches& switches,
                       const PreampControls& c, Tail&& tail) noexcept
{
    const auto input = [&](double s) noexcept {
        s = s * c.input;
        stageInput.process(s, oversampledRate);
        return s;
    };
    const auto tone = [&](double s) noexcept {
        toneStack.process(c.mid, c.contour, c.low, c.high, s);
        return s;
    };
    if (switches.channel != 0) {
        runStaggered(
            buf, m, input, [&](double s) noexcept { return channel2Front(switches, c.drive2Gain, s); },
            [&](double s) noexcept { return tone(channel2Back(voicing, switches, s)); }, tail);
    } else if (switches.crunch != 0) {
        runStaggered(
            buf, m, input, [&](double s) noexcept { return crunchFront(switches, c.drive1Gain, s); },
            [&](double s) noexcept { return tone(crunchBack(voicing, s)); }, tail);
    } else {
        runStaggered(
            buf, m, input, [&](double s) noexcept { return cleanFront(switches, s); },
            [&](double s) noexcept { return tone(cleanBack(voicing, switches, s)); }, tail);
    }
}

} // namespace amp
