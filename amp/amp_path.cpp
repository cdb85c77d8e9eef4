#include "amp/amp_path.h"

#include <initializer_list>

namespace amp {

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

void AmpPath::restSection(const AmpSwitches& switches) noexcept
{
    const auto clear = [](std::initializer_list<Biquad*> filters) noexcept {
        for (Biquad* b : filters) b->x1 = b->x2 = b->y1 = b->y2 = 0.0;
    };
    if (switches.channel != 0) {
        stageCh2A.setup(channel2StageConfig, oversampledRate);
        stageCh2B.setup(outputStageConfig, oversampledRate);
        clear({&shelfCh2Pre, &lpCh2Pre, &lpCh2Post, &peakCh2Bright});
    } else if (switches.crunch != 0) {
        stageCrunchA.setup(channel1StageConfig, oversampledRate);
        stageCrunchB.setup(outputStageConfig, oversampledRate);
        clear({&shelfCrunchBright, &shelfCrunch, &lpCrunch});
    } else {
        stageCleanA.setup(channel1StageConfig, oversampledRate);
        stageCleanB.setup(outputStageConfig, oversampledRate);
        clear({&shelfCleanBright, &shelfClean, &lpClean});
    }
}

void AmpPath::scaleOutgoing(double r) noexcept
{
    toneStack.scaleState(r);
    const auto scale = [r](auto& chains) noexcept {
        for (float& v : chains.x1) v = static_cast<float>(v * r);
        for (float& v : chains.y1) v = static_cast<float>(v * r);
    };
    scale(decimator1.chains);
    scale(decimator2.chains);
    scale(decimator3.chains);
}

void AmpPath::adopt(const AmpDesign& d) noexcept
{
    factor = d.factor;
    T = d.T;
    oversampledRate = d.oversampledRate;
    guardSines_ = d.guardSines;

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

void AmpPath::upsample(const float* x, int n) noexcept
{
    interpolator1.process(x, n, level1_);
    if (factor == 2) return;
    interpolator2.process(level1_, 2 * n, level2_);
    if (factor == 4) return;
    interpolator3.process(level2_, 4 * n, level3_);
}

void AmpPath::downsample(float* y, int n) noexcept
{
    if (factor == 8) decimator3.process(level3_, 4 * n, level2_);
    if (factor >= 4) decimator2.process(level2_, 2 * n, level1_);
    decimator1.process(level1_, n, y);
}

namespace {

template <class Section>
double throughSection(const Section& section, double rate, double s) noexcept
{
    s = section.beforeFirst(s);
    section.first().process(s, rate);
    s = section.between(s);
    section.second().process(s, rate);
    return section.afterSecond(s);
}

} // namespace

double channelSection(AmpPath& p, const ChannelVoicing& voicing, const AmpSwitches& switches, double drive1Gain,
                      double drive2Gain, double s) noexcept
{
    const double rate = p.oversampledRate;
    if (switches.channel != 0) return throughSection(Channel2Section{p, voicing, switches, drive2Gain}, rate, s);
    if (switches.crunch != 0) return throughSection(CrunchSection{p, voicing, switches, drive1Gain}, rate, s);
    return throughSection(CleanSection{p, voicing, switches}, rate, s);
}

StageVectors AmpPath::widestStageVectors() noexcept
{
    // These also check that the system saves the registers.
    static const StageVectors widest = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")
                                           ? StageVectors::Avx512
                                       : __builtin_cpu_supports("avx") ? StageVectors::Avx
                                                                       : StageVectors::None;
    return widest;
}

} // namespace amp
