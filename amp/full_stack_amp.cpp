#include "amp/full_stack_amp.h"

#include <cmath>

namespace amp {

FullStackAmp::FullStackAmp() noexcept
{
    adopt(makeAmpDesign(44100.0, false));
    setupStages();
    beginBlock(AmpBlockParams{});
}

void FullStackAmp::setupStages() noexcept { path_.setupStages(path_.oversampledRate); }

void FullStackAmp::adopt(const AmpDesign& design) noexcept
{
    path_.adopt(design);
    dcBlocker_.setup(design.dcBlocker);
}

void FullStackAmp::beginBlock(const AmpBlockParams& p) noexcept
{
    controls_.input = p.input;
    controls_.low = p.low;
    controls_.mid = p.mid;
    controls_.high = p.high;
    controls_.contour = p.contour;
    contourGain_ = contourLevel(p.contour) * 0.015;
    powerAmpGain_ = 0.9 * p.powerAmp + 0.1;
}

double FullStackAmp::processSample(float in, int n, const AmpSwitches& switches, double drive1Gain,
                                   double drive2Gain) noexcept
{
    controls_.drive1Gain = drive1Gain;
    controls_.drive2Gain = drive2Gain;

    // A 1 kHz whisper keeps the recursive filters out of denormal range on silent input.
    const double guard = 1e-8 * std::sin(static_cast<double>(n) * 6283.19304 * path_.T);
    const float x = static_cast<float>(in + guard);

    const float z = path_.process(x, [&](double& s) noexcept {
        s = path_.preampSection(fullStackVoicing, switches, controls_, s);
        s = s * contourGain_ * powerAmpGain_;
        s = powerAmpCurve(powerAmpCells_, s);
        s = dcBlocker_.process(s);
    });

    double out = z + guard;
    if (switches.channel == 0 && switches.crunch == 0) out = 2.0 * out;
    return out;
}

} // namespace amp
