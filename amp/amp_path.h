// All DSP state of one preamp path (input stage, the three channel sections, tone stack and the
// oversampling cascade around them), and the pieces both plug-ins build their chains from.
#pragma once

#include <array>
#include <cmath>

#include "amp/amp_design.h"
#include "amp/biquad.h"
#include "amp/halfband.h"
#include "amp/staggered_chain.h"
#include "amp/stage_lanes.h"
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

// Which channel section the switches pick: 0 clean, 1 crunch, 2 channel 2.
constexpr int sectionOf(const AmpSwitches& s) noexcept { return s.channel != 0 ? 2 : s.crunch != 0 ? 1 : 0; }

// Control values the preamp section reads: levels as given (0..1), drive gains already tapered.
struct PreampControls {
    double input = 0;
    double drive1Gain = 0;
    double drive2Gain = 0;
    double low = 0, mid = 0, high = 0, contour = 0;
};

// Drive pot taper: 0.089125 at 0, 0.29855 at 0.5, 1.000025 at 1.
constexpr double driveTaper(double d) noexcept { return 0.9841 * d * d - 0.0732 * d + 0.089125; }

// Soft limit of the positive half towards `ceiling` (small-signal slope 0.004 * ceiling); values
// at or below zero pass unchanged.
inline double softLimitPositive(double s, double ceiling) noexcept
{
    return s > 0.0 ? ceiling * (1.0 - std::exp(-0.004 * s)) : s;
}

// How the chain runs its three stages: one after another, or side by side in the lanes of AVX vectors,
// encoded for AVX-512 where the processor has it. All three give the same results.
enum class StageVectors { None, Avx, Avx512 };

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

    // Puts the two stages of the channel section these switches pick at their resting points, and clears its
    // filters' histories.
    void restSection(const AmpSwitches& switches) noexcept;

    // Scales all the path still holds after the stages (the tone stack's ringing and the decimators'
    // histories) by r: what is on its way out then leaves at r times its level.
    void scaleOutgoing(double r) noexcept;

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

    // The widest way the processor allows, by default; tests choose the others to check them.
    StageVectors stageVectors = widestStageVectors();

    // The preamp section (s * Input, the input stage, the channel section the switches pick, the tone stack)
    // and then `tail` over the m oversampled samples in buf, in place, with the stages staggered (see
    // runStaggered and runStagesInLanes): the same results as taking each sample through all of it in turn.
    template <class Tail>
    void runChain(float* buf, int m, const ChannelVoicing& voicing, const AmpSwitches& switches,
                  const PreampControls& controls, Tail&& tail) noexcept;

    static StageVectors widestStageVectors() noexcept;

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

// ---- the channel sections around their two stages: what comes before the first stage, between the two,
// and after the second. Always inlined into the chain's loop, like the stages. ----

struct CleanSection {
    AmpPath& p;
    const ChannelVoicing& voicing;
    const AmpSwitches& switches;

    TriodeStage& first() const noexcept { return p.stageCleanA; }
    TriodeStage& second() const noexcept { return p.stageCleanB; }
    [[gnu::always_inline]] double beforeFirst(double s) const noexcept
    {
        // The bright switch cuts the bass and trades the fixed pad for its own gain staging.
        s = 0.22 * s;
        return switches.bright != 0 ? 0.1 * p.shelfCleanBright.process(s) : 0.0766 * s;
    }
    [[gnu::always_inline]] double between(double s) const noexcept { return p.lpClean.process(p.shelfClean.process(s)); }
    [[gnu::always_inline]] double afterSecond(double s) const noexcept
    {
        return (switches.bright != 0 ? voicing.cleanGainBright : voicing.cleanGainNormal) * s;
    }
};

struct CrunchSection {
    AmpPath& p;
    const ChannelVoicing& voicing;
    const AmpSwitches& switches;
    double drive1Gain;

    TriodeStage& first() const noexcept { return p.stageCrunchA; }
    TriodeStage& second() const noexcept { return p.stageCrunchB; }
    [[gnu::always_inline]] double beforeFirst(double s) const noexcept
    {
        s = switches.bright != 0 ? p.shelfCrunchBright.process(s) : 0.5 * s;
        return drive1Gain * s;
    }
    [[gnu::always_inline]] double between(double s) const noexcept { return p.lpCrunch.process(p.shelfCrunch.process(s)); }
    [[gnu::always_inline]] double afterSecond(double s) const noexcept { return softLimitPositive(s, voicing.crunchCeiling); }
};

struct Channel2Section {
    AmpPath& p;
    const ChannelVoicing& voicing;
    const AmpSwitches& switches;
    double drive2Gain;

    TriodeStage& first() const noexcept { return p.stageCh2A; }
    TriodeStage& second() const noexcept { return p.stageCh2B; }
    [[gnu::always_inline]] double beforeFirst(double s) const noexcept
    {
        s = p.shelfCh2Pre.process(s);
        s = drive2Gain * s;
        return p.lpCh2Pre.process(s);
    }
    [[gnu::always_inline]] double between(double s) const noexcept
    {
        if (switches.boost != 0) s = 2.0 * s;
        return p.lpCh2Post.process(1.8 * s);
    }
    [[gnu::always_inline]] double afterSecond(double s) const noexcept
    {
        s = softLimitPositive(s, 250.0);
        if (switches.bright != 0) s = p.peakCh2Bright.process(s);
        return voicing.overdriveEndGain * s;
    }
};

template <class Section, class Tail>
void runSection(AmpPath& p, float* buf, int m, const Section& section, const PreampControls& c, Tail& tail) noexcept
{
    const double rate = p.oversampledRate;
    const auto pre0 = [&](double s) noexcept { return s * c.input; };
    const auto post = [&](double s) noexcept {
        s = section.afterSecond(s);
        p.toneStack.process(c.mid, c.contour, c.low, c.high, s);
        return tail(s);
    };
    const auto pre1 = [&](double s) noexcept { return section.beforeFirst(s); };
    const auto pre2 = [&](double s) noexcept { return section.between(s); };
    if (p.stageVectors == StageVectors::Avx512) {
        runStagesOnAvx512(buf, m, p.stageInput, section.first(), section.second(), rate, pre0, pre1, pre2, post);
        return;
    }
    if (p.stageVectors == StageVectors::Avx) {
        runStagesOnAvx(buf, m, p.stageInput, section.first(), section.second(), rate, pre0, pre1, pre2, post);
        return;
    }
    runStaggered(
        buf, m,
        [&](double s) noexcept {
            s = pre0(s);
            p.stageInput.process(s, rate);
            return s;
        },
        [&](double s) noexcept {
            s = section.beforeFirst(s);
            section.first().process(s, rate);
            return section.between(s);
        },
        [&](double s) noexcept {
            section.second().process(s, rate);
            s = section.afterSecond(s);
            p.toneStack.process(c.mid, c.contour, c.low, c.high, s);
            return s;
        },
        tail);
}

template <class Tail>
void AmpPath::runChain(float* buf, int m, const ChannelVoicing& voicing, const AmpSwitches& switches,
                       const PreampControls& c, Tail&& tail) noexcept
{
    if (switches.channel != 0)
        runSection(*this, buf, m, Channel2Section{*this, voicing, switches, c.drive2Gain}, c, tail);
    else if (switches.crunch != 0)
        runSection(*this, buf, m, CrunchSection{*this, voicing, switches, c.drive1Gain}, c, tail);
    else
        runSection(*this, buf, m, CleanSection{*this, voicing, switches}, c, tail);
}

} // namespace amp
