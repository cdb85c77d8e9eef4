#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "amp/amp_design.h"
#include "amp/amp_path.h"
#include "amp/full_stack_amp.h"
#include "amp/oversampling.h"
#include "amp_test_util.h"

using namespace amp;
using amp_test::kPi;

TEST(Oversampling, FactorAndRateFollowHostRateAndQuality)
{
    struct Row {
        double host;
        int lowQ, highQ;
    };
    for (const Row& r : {Row{44100, 4, 8}, Row{48000, 4, 8}, Row{49999.9, 4, 8}, Row{50000, 2, 4}, Row{96000, 2, 4}}) {
        EXPECT_EQ(oversamplingFactor(r.host, false), r.lowQ) << r.host;
        EXPECT_EQ(oversamplingFactor(r.host, true), r.highQ) << r.host;
        const AmpDesign d = makeAmpDesign(r.host, true);
        EXPECT_EQ(d.factor, r.highQ) << r.host;
        EXPECT_EQ(d.oversampledRate, r.host * r.highQ) << r.host;
        EXPECT_EQ(d.T, 1.0 / d.oversampledRate) << r.host;
    }
    EXPECT_EQ(oversampledRate(44100, false), 176400.0);
    EXPECT_EQ(oversampledRate(44100, true), 352800.0);
    EXPECT_EQ(oversampledRate(96000, false), 192000.0);
    EXPECT_EQ(oversampledRate(96000, true), 384000.0);
}

TEST(OversamplingCascade, ChainSeesAllSamplesInTimeOrderAndToneComesBackIntact)
{
    const double host = 44100;
    for (bool highQ : {false, true})
        for (double rate : {host, 96000.0}) {
            AmpPath path;
            path.adopt(makeAmpDesign(rate, highQ));
            const int factor = path.factor;
            std::vector<double> seen;
            std::vector<float> out;
            const int frames = static_cast<int>(rate / 10); // a whole number of 1 kHz periods
            float x[AmpPath::kMaxRun], y[AmpPath::kMaxRun];
            for (int start = 0; start < frames; start += 37) { // runs of a size that splits the periods oddly
                const int n = std::min(37, frames - start);
                for (int i = 0; i < n; ++i) x[i] = static_cast<float>(std::sin(2 * kPi * 1000.0 * (start + i) / rate));
                path.upsample(x, n);
                seen.insert(seen.end(), path.oversampled(), path.oversampled() + n * factor);
                path.downsample(y, n);
                out.insert(out.end(), y, y + n);
            }
            ASSERT_EQ(seen.size(), out.size() * static_cast<std::size_t>(factor)) << "factor " << factor;

            // In time order the oversampled samples trace a smooth sine: the second difference stays
            // near w^2 plus the filters' small images (under 1e-3); two samples out of order would
            // show a step of about 3w (w = 0.018 at the highest rate).
            double worst = 0;
            for (std::size_t k = 1000; k + 1 < seen.size(); ++k)
                worst = std::max(worst, std::fabs(seen[k + 1] - 2 * seen[k] + seen[k - 1]));
            EXPECT_LT(worst, 3e-3) << "factor " << factor << " rate " << rate;

            EXPECT_NEAR(amp_test::toneAmplitude(out, static_cast<std::size_t>(frames / 10),
                                                static_cast<std::size_t>(frames), 1000, rate),
                        1.0, 1e-3)
                << "factor " << factor << " rate " << rate;
        }
}

namespace {

// Host blocks of `block` samples through the amp as processReplacing runs them: block controls first, then the
// samples with the same switches and drives throughout.
std::vector<double> play(FullStackAmp& amp, const std::vector<float>& in, int block, const AmpBlockParams& params,
                         const AmpSwitches& sw, double drive1Gain, double drive2Gain)
{
    std::vector<double> out(in.size());
    const std::vector<AmpSampleControls> controls(static_cast<std::size_t>(block), {sw, drive1Gain, drive2Gain});
    for (std::size_t start = 0; start < in.size(); start += static_cast<std::size_t>(block)) {
        const int count = static_cast<int>(std::min(in.size() - start, static_cast<std::size_t>(block)));
        amp.beginBlock(params);
        amp.process(in.data() + start, controls.data(), count, count - 1, out.data() + start);
    }
    return out;
}

std::vector<float> sine(double amplitude, double f, int frames, double rate = 44100)
{
    std::vector<float> x(static_cast<std::size_t>(frames));
    for (int n = 0; n < frames; ++n)
        x[static_cast<std::size_t>(n)] = static_cast<float>(amplitude * std::sin(2 * kPi * f * n / rate));
    return x;
}

} // namespace

TEST(AmpPath, AdoptingADesignClearsFiltersButKeepsStagesAndOversamplers)
{
    FullStackAmp amp;
    const AmpBlockParams params{0.8, 0.5, 0.5, 0.5, 0.5, 0.5};
    const AmpSwitches overdriveBright{1, 0, 1, 1};
    std::vector<float> x(2000);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] = static_cast<float>(0.3 * std::sin(static_cast<double>(n) * 0.05));
    play(amp, x, 512, params, overdriveBright, 0.3, 0.8);

    const AmpPath before = amp.path();
    ASSERT_NE(before.lpCh2Post.y1, 0.0);
    ASSERT_NE(before.toneStack.s1, 0.0);

    amp.adopt(makeAmpDesign(44100, true)); // the quality switch
    const AmpPath& after = amp.path();
    EXPECT_EQ(amp.factor(), 8);
    EXPECT_EQ(amp.oversampledRate(), 352800.0);
    for (const Biquad* b : {&after.shelfCh2Pre, &after.lpCh2Pre, &after.lpCh2Post, &after.peakCh2Bright}) {
        EXPECT_EQ(b->x1, 0.0);
        EXPECT_EQ(b->y1, 0.0);
    }
    EXPECT_EQ(after.toneStack.s1, 0.0);
    EXPECT_EQ(after.toneStack.lastHigh, 10.0);
    EXPECT_EQ(after.stageCh2A.Vp, before.stageCh2A.Vp);
    EXPECT_EQ(after.stageCh2A.Vk, before.stageCh2A.Vk);
    EXPECT_NE(after.stageCh2A.kCathode, before.stageCh2A.kCathode);
    EXPECT_EQ(after.interpolator1.chains.y1, before.interpolator1.chains.y1);
    EXPECT_EQ(after.decimator2.chains.y1, before.decimator2.chains.y1);

    const std::vector<double> y = play(amp, std::vector<float>(2000, 0.3f), 512, params, overdriveBright, 0.3, 0.8);
    for (std::size_t n = 0; n < y.size(); ++n) ASSERT_TRUE(std::isfinite(y[n])) << n;
}

namespace {

// Runs a 110 Hz sine through a fresh amp in 512-sample blocks and returns the amp's output.
std::vector<double> render(const AmpSwitches& sw, double drive1Gain, double drive2Gain, double amplitude = 0.3,
                           double input = 0.6)
{
    FullStackAmp amp;
    return play(amp, sine(amplitude, 110, 11025), 512, {input, 0.5, 0.5, 0.5, 0.5, 0.6}, sw, drive1Gain, drive2Gain);
}

} // namespace

TEST(FullStackAmp, EveryChannelPlaysA110HzTone)
{
    struct Case {
        const char* name;
        AmpSwitches sw;
    };
    const Case cases[] = {{"clean", {0, 0, 0, 0}},     {"clean bright", {0, 0, 0, 1}}, {"crunch", {0, 1, 0, 0}},
                          {"crunch bright", {0, 1, 0, 1}}, {"overdrive", {1, 0, 0, 0}}, {"overdrive boost bright", {1, 0, 1, 1}}};
    for (const Case& c : cases) {
        const std::vector<double> out = render(c.sw, driveTaper(0.5), driveTaper(0.5));
        double peak = 0, power = 0;
        for (std::size_t n = out.size() / 2; n < out.size(); ++n) {
            ASSERT_TRUE(std::isfinite(out[n])) << c.name << " n=" << n;
            peak = std::max(peak, std::fabs(out[n]));
            power += out[n] * out[n];
        }
        const double rms = std::sqrt(power / static_cast<double>(out.size() / 2));
        EXPECT_GT(rms, 1e-3) << c.name;
        EXPECT_LT(peak, 2.0) << c.name; // the curve saturates at about 0.45, the clean path doubles
        EXPECT_GT(amp_test::toneAmplitude(out, out.size() / 2, out.size(), 110, 44100), 0.3 * rms) << c.name;
    }
}

TEST(FullStackAmp, SwitchesOfTheOtherChannelHaveNoEffect)
{
    // Channel 2: crunch switch and Drive1 are not heard.
    EXPECT_EQ(render({1, 0, 0, 1}, driveTaper(0.0), 0.5), render({1, 1, 0, 1}, driveTaper(1.0), 0.5));
    // Channel 1: boost and Drive2 are not heard, on clean or crunch.
    EXPECT_EQ(render({0, 0, 0, 0}, 0.3, driveTaper(0.0)), render({0, 0, 1, 0}, 0.3, driveTaper(1.0)));
    EXPECT_EQ(render({0, 1, 0, 0}, 0.3, driveTaper(0.0)), render({0, 1, 1, 0}, 0.3, driveTaper(1.0)));
}

TEST(FullStackAmp, SilenceCarriesOnlyTheGuard)
{
    // With Input at 0 the stages settle from their resting estimates (a slow drift of up to 1e-6
    // that the DC blocker lets through for a while); after that what comes out is the 1 kHz guard
    // added at the output, with its phase restarting each block, twice on the doubled clean path.
    for (const AmpSwitches sw : {AmpSwitches{0, 0, 0, 0}, AmpSwitches{1, 0, 0, 0}}) {
        const std::vector<double> out = render(sw, 0.3, 0.3, 0.0, 0.0);
        const double scale = sw.channel == 0 ? 2.0 : 1.0;
        const int block = 512;
        for (std::size_t k = 8192; k < out.size(); ++k) {
            const int count = std::min<int>(block, static_cast<int>(out.size()) - static_cast<int>(k / block) * block);
            const int n = count - 1 - static_cast<int>(k % block);
            const double guard = 1e-8 * std::sin(n * 6283.19304 / 176400.0);
            ASSERT_NEAR(out[k], scale * guard, 1e-9) << "channel " << sw.channel << " k=" << k;
        }
    }
}

TEST(ChannelSection, LimitersBendOnlyThePositiveHalf)
{
    EXPECT_NEAR(softLimitPositive(1e4, 500), 500, 1e-9);
    EXPECT_NEAR(softLimitPositive(1e4, 250), 250, 1e-9);
    EXPECT_NEAR(softLimitPositive(1e-6, 500) / 1e-6, 2.0, 1e-6);
    EXPECT_NEAR(softLimitPositive(1e-6, 187.5) / 1e-6, 0.75, 1e-6);
    EXPECT_EQ(softLimitPositive(-300, 500), -300);
    EXPECT_EQ(softLimitPositive(0, 500), 0);

    // Driven hard, the crunch and channel-2 sections stay under their ceilings on the positive side
    // while their negative swings still reach far down.
    for (const ChannelVoicing* v : {&fullStackVoicing, &preampOnlyVoicing})
        for (const AmpSwitches sw : {AmpSwitches{0, 1, 0, 0}, AmpSwitches{1, 0, 1, 0}}) {
            AmpPath path;
            path.adopt(makeAmpDesign(44100, false));
            path.setupStages(path.oversampledRate);
            const double ceiling = sw.channel ? 250.0 : v->crunchCeiling;
            double top = 0, bottom = 0;
            for (int n = 0; n < 20000; ++n) {
                const double s = channelSection(path, *v, sw, 1.0, 1.0, 60 * std::sin(2 * kPi * 200.0 * n / 176400));
                top = std::max(top, s);
                bottom = std::min(bottom, s);
            }
            EXPECT_LT(top, ceiling * v->overdriveEndGain) << "channel " << sw.channel;
            EXPECT_LT(bottom, -50.0) << "channel " << sw.channel;
        }
}
