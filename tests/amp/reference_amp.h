// The amp as it ran before it worked in blocks: one host sample at a time through the whole cascade,
// each oversampled sample through the whole chain. Kept as the yardstick the block-wise amp must match
// bit for bit. It drives the state of a real AmpPath (and the full-stack amp's DC blocker).
#pragma once

#include <cmath>

#include "amp/amp_path.h"
#include "amp/dc_blocker.h"
#include "amp/power_amp_curve.h"

namespace amp::reference {

inline double channelSection(AmpPath& p, const ChannelVoicing& voicing, const AmpSwitches& switches,
                             double drive1Gain, double drive2Gain, double s) noexcept
{
    const double rate = p.oversampledRate;
    if (switches.channel != 0) {
        s = p.shelfCh2Pre.process(s);
        s = drive2Gain * s;
        s = p.lpCh2Pre.process(s);
        p.stageCh2A.process(s, rate);
        if (switches.boost != 0) s = 2.0 * s;
        s = p.lpCh2Post.process(1.8 * s);
        p.stageCh2B.process(s, rate);
        s = softLimitPositive(s, 250.0);
        if (switches.bright != 0) s = p.peakCh2Bright.process(s);
        return voicing.overdriveEndGain * s;
    }
    if (switches.crunch != 0) {
        s = switches.bright != 0 ? p.shelfCrunchBright.process(s) : 0.5 * s;
        s = drive1Gain * s;
        p.stageCrunchA.process(s, rate);
        s = p.shelfCrunch.process(s);
        s = p.lpCrunch.process(s);
        p.stageCrunchB.process(s, rate);
        return softLimitPositive(s, voicing.crunchCeiling);
    }
    s = 0.22 * s;
    double makeUp;
    if (switches.bright != 0) {
        s = 0.1 * p.shelfCleanBright.process(s);
        makeUp = voicing.cleanGainBright;
    } else {
        s = 0.0766 * s;
        makeUp = voicing.cleanGainNormal;
    }
    p.stageCleanA.process(s, rate);
    s = p.shelfClean.process(s);
    s = p.lpClean.process(s);
    p.stageCleanB.process(s, rate);
    return makeUp * s;
}

inline double preampSection(AmpPath& p, const ChannelVoicing& voicing, const AmpSwitches& switches,
                            const PreampControls& controls, double s) noexcept
{
    s = s * controls.input;
    p.stageInput.process(s, p.oversampledRate);
    s = reference::channelSection(p, voicing, switches, controls.drive1Gain, controls.drive2Gain, s);
    p.toneStack.process(controls.mid, controls.contour, controls.low, controls.high, s);
    return s;
}

// One host-rate sample through the oversampling cascade; chain(double&) runs on every oversampled sample,
// in time order.
template <class Chain>
float cascade(AmpPath& p, float x, Chain&& chain) noexcept
{
    const auto run = [&](float v) noexcept {
        double s = v;
        chain(s);
        return static_cast<float>(s);
    };
    const auto level3 = [&](float v) noexcept {
        if (p.factor != 8) return run(v);
        const HalfbandPair u = p.interpolator3.process(v);
        const float r0 = run(u.first);
        const float r1 = run(u.second);
        return p.decimator3.process(r0, r1);
    };
    const auto level2 = [&](float v) noexcept {
        if (p.factor != 4 && p.factor != 8) return run(v);
        const HalfbandPair u = p.interpolator2.process(v);
        const float r0 = level3(u.first);
        const float r1 = level3(u.second);
        return p.decimator2.process(r0, r1);
    };
    const HalfbandPair u = p.interpolator1.process(x);
    const float r0 = level2(u.first);
    const float r1 = level2(u.second);
    return p.decimator1.process(r0, r1);
}

// The full-stack amp per host sample: `n` is the sample's countdown within its block.
inline double fullStackSample(AmpPath& p, DcBlocker& dcBlocker, const PreampControls& blockControls,
                              double contourGain, double powerAmpGain, float in, int n, const AmpSwitches& switches,
                              double drive1Gain, double drive2Gain) noexcept
{
    PreampControls controls = blockControls;
    controls.drive1Gain = drive1Gain;
    controls.drive2Gain = drive2Gain;
    const double guard = 1e-8 * std::sin(static_cast<double>(n) * 6283.19304 * p.T);
    const float x = static_cast<float>(in + guard);
    const float z = cascade(p, x, [&](double& s) noexcept {
        s = preampSection(p, fullStackVoicing, switches, controls, s);
        s = s * contourGain * powerAmpGain;
        s = powerAmpCurve(s);
        s = dcBlocker.process(s);
    });
    double out = z + guard;
    if (switches.channel == 0 && switches.crunch == 0) out = 2.0 * out;
    return out;
}

// The preamp-only chain of one path per host sample, before the output level: the input already carries its
// guard.
inline float preampSample(AmpPath& p, const PreampControls& controls, double contourGain, float x,
                          const AmpSwitches& switches) noexcept
{
    return cascade(p, x, [&](double& s) noexcept {
        s = preampSection(p, preampOnlyVoicing, switches, controls, s) * contourGain;
    });
}

} // namespace amp::reference
