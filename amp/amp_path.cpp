#include "amp/amp_path.h"

#include <cmath>

namespace amp {

double softLimitPositive(double s, double ceiling) noexcept
{
    return s > 0.0 ? ceiling * (1.0 - std::exp(-0.004 * s)) : s;
}

void AmpPath::setupStages(double rate) noexcept
{
    stageInput.setup(inputStageConfig, rate);
    stageCleanA.setup(channel1StageConfig, rate);
    stageCrunchA.setup(channel1StageConfig, rate);
    stageCh2A.setup(channel2StageConfig, rate);
    stageCleanB.setup(outputStageConfig, rate);
    stageCrunchB.setup(outputStageConfig, rate);
    stageCh2B.setup(outputStageConfig, rate);
}

void AmpPath::adopt(const AmpDesign& d) noexcept
{
    factor = d.factor;
    T = d.T;
    oversampledRate = d.oversampledRate;

    for (TriodeStage* stage : {&stageInput, &stageCleanA, &stageCleanB, &stageCrunchA, &stageCrunchB, &stageCh2A,
                               &stageCh2B})
        stage->setSampleRate(oversampledRate);

    toneStack.setup(d.toneStack);

    peakCh2Bright.setCoefficients(d.peakCh2Bright);
    lpCh2Pre.setCoefficients(d.lpCh2Pre);
    lpClean.setCoefficients(d.lpClean);
    lpCrunch.setCoefficients(d.lpCrunch);
    lpCh2Post.setCoefficients(d.lpCh2Post);
    shelfCleanBright.setCoefficients(d.shelfCleanBright);
    shelfCh2Pre.setCoefficients(d.shelfCh2Pre);
    shelfClean.setCoefficients(d.shelfClean);
    shelfCrunch.setCoefficients(d.shelfCrunch);
    shelfCrunchBright.setCoefficients(d.shelfCrunchBright);

    interpolator1.loadCoefficients(halfbandLevel1);
    decimator1.loadCoefficients(halfbandLevel1);
    interpolator2.loadCoefficients(halfbandLevel2);
    decimator2.loadCoefficients(halfbandLevel2);
    interpolator3.loadCoefficients(halfbandLevel3);
    decimator3.loadCoefficients(halfbandLevel3);
}

double AmpPath::preampSection(const ChannelVoicing& voicing, const AmpSwitches& switches,
                              const PreampControls& controls, double s) noexcept
{
    s = s * controls.input;
    stageInput.process(s, oversampledRate);
    s = channelSection(*this, voicing, switches, controls.drive1Gain, controls.drive2Gain, s);
    toneStack.process(controls.mid, controls.contour, controls.low, controls.high, s);
    return s;
}

double channelSection(AmpPath& p, const ChannelVoicing& voicing, const AmpSwitches& switches, double drive1Gain,
                      double drive2Gain, double s) noexcept
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

    // Clean: the bright switch cuts the bass and trades the fixed pad for its own gain staging.
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

} // namespace amp
