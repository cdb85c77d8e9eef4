// The preamp-only signal chain as the host drives it: sample-rate set-up, mono and stereo, Volume, and
// the voicing that sets this plug-in apart from the full stack.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "amp/amp_path.h"
#include "preamp_test_util.h"

using namespace tavik_preamp;
using namespace preamp_test;

namespace {

// Restores the host's "rate unknown" answer when a test that changed it ends.
struct HostRateAnswer {
    explicit HostRateAnswer(intptr_t answer) { hostRateAnswer() = answer; }
    ~HostRateAnswer() { hostRateAnswer() = 0; }
};

void expectStagesEqual(const amp::AmpPath& a, const amp::AmpPath& b, const char* what)
{
    const amp::TriodeStage* sa[] = {&a.stageInput, &a.stageCleanA, &a.stageCleanB, &a.stageCrunchA,
                                    &a.stageCrunchB, &a.stageCh2A, &a.stageCh2B};
    const amp::TriodeStage* sb[] = {&b.stageInput, &b.stageCleanA, &b.stageCleanB, &b.stageCrunchA,
                                    &b.stageCrunchB, &b.stageCh2A, &b.stageCh2B};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(sa[k]->Vp, sb[k]->Vp) << what << " stage " << k;
        EXPECT_EQ(sa[k]->Vk, sb[k]->Vk) << what << " stage " << k;
        EXPECT_EQ(sa[k]->y, sb[k]->y) << what << " stage " << k;
    }
}

TEST(PreampSetup, OversamplingFactorFollowsHostRateAndQuality)
{
    struct Case {
        float rate;
        int lowQ, highQ;
    };
    for (const Case c : {Case{44100, 4, 8}, Case{49999, 4, 8}, Case{50000, 2, 4}, Case{96000, 2, 4}}) {
        auto fx = makeEffect();
        fx->setSampleRate(c.rate);
        fx->adoptPendingNow();
        EXPECT_EQ(fx->chain().factor(), c.lowQ) << c.rate;
        EXPECT_NEAR(fx->chain().oversampledRate(), c.lowQ * static_cast<double>(c.rate), 1e-6) << c.rate;
        EXPECT_EQ(fx->chain().lastSetupRate(), c.rate);
        fx->setParameter(kQuality, 1.0f);
        fx->adoptPendingNow();
        EXPECT_EQ(fx->chain().factor(), c.highQ) << c.rate;
        EXPECT_EQ(fx->chain().pathRight().factor, c.highQ) << c.rate;
        EXPECT_NEAR(fx->chain().pathLeft().T * c.highQ * c.rate, 1.0, 1e-15) << c.rate;
    }
}

TEST(PreampSetup, HostAnswerWinsAndUnusableRatesAreIgnored)
{
    {
        HostRateAnswer answer(48000);
        auto fx = makeEffect();
        EXPECT_EQ(fx->getSampleRate(), 48000.0f) << "the constructor already asks the host";
        fx->setSampleRate(44100.0f);
        fx->adoptPendingNow();
        EXPECT_EQ(fx->getSampleRate(), 48000.0f);
        EXPECT_NEAR(fx->chain().oversampledRate(), 192000.0, 1e-6);
    }
    HostRateAnswer answer(-5);
    auto fx = makeEffect();
    fx->setSampleRate(96000.0f);
    fx->adoptPendingNow();
    EXPECT_EQ(fx->getSampleRate(), 96000.0f) << "a negative answer leaves the given rate";
    for (float bad : {0.0f, -44100.0f, std::nanf(""), INFINITY}) {
        fx->setSampleRate(bad);
        fx->adoptPendingNow();
        EXPECT_EQ(fx->getSampleRate(), 96000.0f) << bad;
        EXPECT_EQ(fx->chain().factor(), 2) << bad;
        EXPECT_EQ(fx->chain().lastSetupRate(), 96000.0f) << bad;
    }
}

TEST(PreampSetup, QualityToggleKeepsStagesWhileANewRateRestsThem)
{
    auto fx = makeEffect();
    fx->setParameter(kChannel, 1.0f);
    fx->setParameter(kMonoStereo, 1.0f);
    const std::vector<float> x = sine(220, 0.5, 4000);
    render(*fx, x, x);

    const amp::AmpPath before = fx->chain().pathLeft();
    ASSERT_NE(before.lpCh2Post.y1, 0.0);
    ASSERT_NE(before.stageCh2A.y, 0.0);
    fx->setParameter(kQuality, 1.0f);
    fx->adoptPendingNow();
    EXPECT_EQ(fx->chain().factor(), 8);
    expectStagesEqual(fx->chain().pathLeft(), before, "after a quality toggle");
    EXPECT_EQ(fx->chain().pathLeft().lpCh2Post.y1, 0.0) << "the filters are redesigned and cleared";
    EXPECT_EQ(fx->chain().pathLeft().toneStack.s1, 0.0);
    EXPECT_EQ(fx->chain().pathLeft().interpolator1.chains.y1, before.interpolator1.chains.y1)
        << "the oversamplers keep their state";

    render(*fx, x, x);
    // A rate change followed by a toggle before the audio thread looks: the rest must not be lost.
    fx->setSampleRate(48000.0f);
    fx->setParameter(kQuality, 0.0f);
    fx->adoptPendingNow();
    EXPECT_EQ(fx->chain().factor(), 4);
    amp::AmpPath rest;
    rest.setupStages(fx->chain().oversampledRate());
    expectStagesEqual(fx->chain().pathLeft(), rest, "left after a new rate");
    expectStagesEqual(fx->chain().pathRight(), rest, "right after a new rate");

    render(*fx, x, x);
    fx->setSampleRate(48000.0f);  // the same rate again: the stages carry on
    const amp::AmpPath playing = fx->chain().pathLeft();
    fx->adoptPendingNow();
    expectStagesEqual(fx->chain().pathLeft(), playing, "after the same rate");
}

TEST(PreampSetup, EmptyBlocksWriteAndChangeNothing)
{
    auto fx = makeEffect();
    fx->resume();  // while suspended a change is taken at once
    fx->setParameter(kQuality, 1.0f);
    std::vector<float> buf(16, 0.25f);
    float* io[2] = {buf.data(), buf.data()};
    fx->processReplacing(io, io, 0);
    fx->processReplacing(io, io, -4);
    for (float v : buf) EXPECT_EQ(v, 0.25f);
    EXPECT_EQ(fx->chain().factor(), 4) << "the pending set-up waits for a real block";
    fx->processReplacing(io, io, 1);
    EXPECT_EQ(fx->chain().factor(), 8);
    fx->processReplacing(nullptr, io, 16);
    float* noOutputs[2] = {buf.data(), nullptr};
    fx->processReplacing(io, noOutputs, 16);
}

TEST(PreampChain, MonoCopiesTheLeftResultWhateverTheRightInputHolds)
{
    const std::vector<float> left = sine(330, 0.4, 3000);
    std::vector<float> junk(left.size());
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = (i % 3 == 0) ? 5.0f : -0.7f;

    auto a = makeEffect();
    const Stereo withJunk = render(*a, left, junk);
    auto b = makeEffect();
    const Stereo withSilence = render(*b, left, std::vector<float>(left.size(), 0.0f));
    EXPECT_EQ(withJunk.left, withJunk.right);
    EXPECT_EQ(withJunk.left, withSilence.left);
    EXPECT_GT(rms(withJunk.left), 1e-3);
    auto fresh = makeEffect();
    expectStagesEqual(a->chain().pathRight(), fresh->chain().pathRight(), "right path in mono");
    EXPECT_EQ(a->chain().pathRight().interpolator1.chains.y1, fresh->chain().pathRight().interpolator1.chains.y1);

    // In place, the way many hosts call: outputs over the inputs.
    auto c = makeEffect();
    std::vector<float> l(left), r(junk);
    for (std::size_t at = 0; at < l.size(); at += 256) {
        float* io[2] = {l.data() + at, r.data() + at};
        c->processReplacing(io, io, static_cast<int32_t>(std::min<std::size_t>(256, l.size() - at)));
    }
    EXPECT_EQ(l, withJunk.left);
    EXPECT_EQ(r, withJunk.left);
}

TEST(PreampChain, NonFiniteInputSamplesPlayAsSilence)
{
    std::vector<float> x = sine(330, 0.4, 3000);
    std::vector<float> clean = x;
    for (std::size_t i : {10u, 700u, 1500u}) {
        x[i] = i == 700u ? INFINITY : std::nanf("");
        clean[i] = 0.0f;
    }
    x[2000] = -INFINITY;
    clean[2000] = 0.0f;
    auto a = makeEffect();
    a->setParameter(kMonoStereo, 1.0f);
    const Stereo damaged = render(*a, x, x);
    auto b = makeEffect();
    b->setParameter(kMonoStereo, 1.0f);
    const Stereo expected = render(*b, clean, clean);
    EXPECT_EQ(damaged.left, expected.left);
    EXPECT_EQ(damaged.right, expected.right);
}

TEST(PreampChain, StereoRunsTheRightPathOnTheRightInput)
{
    const std::vector<float> tone = sine(330, 0.4, 4000);
    const std::vector<float> silence(tone.size(), 0.0f);
    for (int channel : {0, 1}) {
        auto fx = makeEffect();
        fx->setParameter(kMonoStereo, 1.0f);
        fx->setParameter(kChannel, static_cast<float>(channel));
        const Stereo rightOnly = render(*fx, silence, tone);
        EXPECT_GT(rms(rightOnly.right, 2000), 1e-3) << channel;
        EXPECT_LT(rms(rightOnly.left, 2000), 1e-3 * rms(rightOnly.right, 2000)) << channel;

        auto gx = makeEffect();
        gx->setParameter(kMonoStereo, 1.0f);
        gx->setParameter(kChannel, static_cast<float>(channel));
        const Stereo leftOnly = render(*gx, tone, silence);
        EXPECT_LT(rms(leftOnly.right, 2000), 1e-3 * rms(leftOnly.left, 2000)) << channel;
        // The two paths differ only by the guard on the left input.
        for (std::size_t i = 2000; i < tone.size(); i += 37)
            EXPECT_NEAR(leftOnly.left[i], rightOnly.right[i], 1e-3 * rms(rightOnly.right, 2000)) << i;
    }
}

TEST(PreampChain, VolumeZeroIsSilenceAndTheLevelIsLinearInVolume)
{
    const std::vector<float> left = sine(196, 0.5, 3000);
    const std::vector<float> right = sine(247, 0.3, 3000);
    std::vector<Stereo> outs;
    for (float volume : {1.0f, 0.5f, 0.25f, 0.0f}) {
        auto fx = makeEffect();
        fx->setParameter(kCleanCrunch, 1.0f);
        fx->setParameter(kMonoStereo, 1.0f);
        fx->setParameter(kVolume, volume);
        outs.push_back(render(*fx, left, right));
    }
    ASSERT_GT(rms(outs[0].left), 1e-3);
    for (std::size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(outs[1].left[i], 0.5f * outs[0].left[i]) << i;
        ASSERT_EQ(outs[2].right[i], 0.25f * outs[0].right[i]) << i;
        ASSERT_EQ(outs[3].left[i], 0.0f) << i;
        ASSERT_EQ(outs[3].right[i], 0.0f) << i;
    }
}

TEST(PreampChain, EveryChannelAndQualitySoundsItsOwnWay)
{
    struct Setting {
        const char* name;
        float channel, crunch, boost, bright;
    };
    const Setting settings[] = {{"clean", 0, 0, 0, 0},     {"clean bright", 0, 0, 0, 1}, {"crunch", 0, 1, 0, 0},
                                {"crunch bright", 0, 1, 0, 1}, {"overdrive", 1, 0, 0, 0}, {"overdrive boost", 1, 0, 1, 0},
                                {"overdrive bright", 1, 0, 0, 1}};
    const std::vector<float> x = sine(110, 0.3, 6000);
    for (float quality : {0.0f, 1.0f}) {
        std::vector<std::vector<float>> results;
        for (const Setting& s : settings) {
            auto fx = makeEffect();
            fx->setParameter(kQuality, quality);
            fx->setParameter(kCleanCrunch, s.crunch);
            fx->setParameter(kChannel, s.channel);
            fx->setParameter(kBoost, s.boost);
            fx->setParameter(kBright, s.bright);
            const Stereo out = render(*fx, x, x);
            for (float v : out.left) ASSERT_TRUE(std::isfinite(v)) << s.name;
            const double level = rms(out.left, 3000);
            EXPECT_GT(level, 1e-3) << s.name << " quality " << quality;
            EXPECT_LT(level, 2.0) << s.name << " quality " << quality;
            for (const auto& earlier : results) EXPECT_NE(earlier, out.left) << s.name << " quality " << quality;
            results.push_back(out.left);
        }
    }
}

TEST(PreampChain, SwitchesOfTheOtherChannelAreNotHeard)
{
    const std::vector<float> x = sine(150, 0.4, 3000);
    auto play = [&](float crunch, float channel, float boost) {
        auto fx = makeEffect();
        fx->setParameter(kCleanCrunch, crunch);
        fx->setParameter(kChannel, channel);
        fx->setParameter(kBoost, boost);
        return render(*fx, x, x).left;
    };
    EXPECT_EQ(play(0, 1, 1), play(1, 1, 1)) << "Overdrive ignores the clean/crunch switch";
    EXPECT_EQ(play(0, 0, 0), play(0, 0, 1)) << "Clean ignores the boost";
    EXPECT_EQ(play(1, 0, 0), play(1, 0, 1)) << "Crunch ignores the boost";
}

TEST(PreampVoicing, CrunchCeilingAndOverdriveLevelAreThisPluginsOwn)
{
    // The same path state run with either plug-in's voicing: the crunch limiter's ceiling scales the
    // positive half by 187.5 / 500 and leaves the negative half alone; the overdrive section ends at
    // three quarters of the full stack's level, and before that stays under 250.
    for (const amp::AmpSwitches sw : {amp::AmpSwitches{0, 1, 0, 0}, amp::AmpSwitches{1, 0, 1, 1}}) {
        amp::AmpPath full, pre;
        full.adopt(amp::makeAmpDesign(44100, false));
        full.setupStages(full.oversampledRate);
        pre = full;
        double top = 0;
        for (int n = 0; n < 20000; ++n) {
            const double x = 80 * std::sin(2 * kPi * 150.0 * n / 176400);
            const double f = amp::channelSection(full, amp::fullStackVoicing, sw, 1.0, 1.0, x);
            const double p = amp::channelSection(pre, amp::preampOnlyVoicing, sw, 1.0, 1.0, x);
            top = std::max(top, p);
            if (sw.channel == 1) {
                ASSERT_NEAR(p, 0.75 * f, 1e-12 * std::fabs(f) + 1e-300) << n;
            } else if (f > 0) {
                ASSERT_NEAR(p, f * 187.5 / 500.0, 1e-9 * f) << n;
            } else {
                ASSERT_EQ(p, f) << n;
            }
        }
        EXPECT_LT(top, sw.channel ? 0.75 * 250.0 : 187.5);
        EXPECT_GT(top, sw.channel ? 0.75 * 100.0 : 90.0) << "driven hard, the limiter is well into its bend";
    }
    EXPECT_NEAR(amp::softLimitPositive(1e5, amp::preampOnlyVoicing.crunchCeiling), 187.5, 1e-9);
}

}  // namespace
