// A control moved while audio plays must keep the output within what its two ends give by themselves: the
// cabinet high-passes and the tone stack swept end to end by jumps, ramps and random automation.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "plugin_rig.h"

using namespace plugin_rig;

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 512;
constexpr int kBlocks = 300;
constexpr int kSettle = 20;  // blocks before the peak counts

using Settings = std::vector<std::pair<int32_t, float>>;

// The peak of one output channel while `value(block)` is sent to `index` before every block.
double peak(Kind kind, const Settings& settings, int32_t index, int channel, const std::function<float(int)>& value)
{
    const std::vector<float> in = guitar(kBlocks * kBlock, kRate);
    Plug p(kind);
    p.start(kRate, kBlock);
    for (auto [i, v] : settings) p.set(i, v);
    double top = 0.0;
    std::vector<float> out;
    for (int b = 0; b < kBlocks; ++b) {
        p.set(index, value(b));
        out.clear();
        p.process(in.data() + static_cast<size_t>(b) * kBlock, in.data() + static_cast<size_t>(b) * kBlock, kBlock,
                  out);
        if (b < kSettle) continue;
        for (size_t i = static_cast<size_t>(channel); i < out.size(); i += 2)
            top = std::max(top, static_cast<double>(std::fabs(out[i])));
    }
    return top;
}

// 0 for `hold` blocks, a ramp of `ramp` blocks to 1 (none: a jump), 1 for `hold` blocks, and back the same way.
float backAndForth(int b, int ramp, int hold = 20)
{
    const int t = b % (2 * (ramp + hold));
    const float r = static_cast<float>(std::max(ramp, 1));
    if (t < hold) return 0.0f;
    if (t < hold + ramp) return static_cast<float>(t - hold) / r;
    if (t < 2 * hold + ramp) return 1.0f;
    return 1.0f - static_cast<float>(t - 2 * hold - ramp) / r;
}

// Every way of moving `index` from end to end keeps `channel` below 1.5 times its louder end's peak.
void expectWithinStaticPeaks(Kind kind, const Settings& settings, int32_t index, int channel, const char* what)
{
    const auto at = [&](const std::function<float(int)>& value) { return peak(kind, settings, index, channel, value); };
    const double loudest = std::max(at([](int) { return 0.0f; }), at([](int) { return 1.0f; }));
    ASSERT_GT(loudest, 0.1) << "the test plays sound";
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> random(0.0f, 1.0f);
    const std::vector<std::pair<const char*, std::function<float(int)>>> sweeps = {
        {"jumps", [](int b) { return backAndForth(b, 0); }},
        {"4-block ramps", [](int b) { return backAndForth(b, 4); }},
        {"16-block ramps", [](int b) { return backAndForth(b, 16); }},
        {"random values", [&](int) { return random(rng); }},
    };
    for (const auto& [how, sweep] : sweeps)
        EXPECT_LT(at(sweep), 1.5 * loudest) << what << ", " << how << "; static peak " << loudest;
}

TEST(ControlSweeps, CabinetHighPassesMovedAtAnySpeedStayWithinTheirStaticPeaks)
{
    // Cabinet 1 is panned left, cabinet 2 right.
    expectWithinStaticPeaks(Kind::FullStack, {}, tavik::kFreqHp1, 0, "cabinet 1 high-pass");
    expectWithinStaticPeaks(Kind::FullStack, {}, tavik::kFreqHp2, 1, "cabinet 2 high-pass");
}

// How far channel 0 strays from `setting` of `index` held still when automation nudges it by a hair at every
// other block, as a share of its peak. It must sound like the setting, not like a filter restarting.
double nudgedDeviation(Kind kind, const Settings& settings, int32_t index, float setting)
{
    std::vector<float> still, nudged;
    for (auto* out : {&still, &nudged}) {
        const std::vector<float> in = guitar(kBlocks * kBlock, kRate);
        Plug p(kind);
        p.start(kRate, kBlock);
        for (auto [i, v] : settings) p.set(i, v);
        for (int b = 0; b < kBlocks; ++b) {
            p.set(index, setting + (out == &nudged && b % 2 ? 1e-4f : 0.0f));
            const float* at = in.data() + static_cast<size_t>(b) * kBlock;
            p.process(at, at, kBlock, *out);
        }
    }
    double top = 0.0, apart = 0.0;
    for (size_t i = 0; i < still.size(); i += 2) {
        top = std::max(top, static_cast<double>(std::fabs(still[i])));
        apart = std::max(apart, static_cast<double>(std::fabs(still[i] - nudged[i])));
    }
    return apart / top;
}

TEST(ControlSweeps, ControlsNudgedEveryOtherBlockSoundAsTheirSetting)
{
    for (float setting : {0.0f, 0.1f})
        EXPECT_LT(nudgedDeviation(Kind::FullStack, {}, tavik::kFreqHp1, setting), 0.01) << "Freq HP1 at " << setting;
    EXPECT_LT(nudgedDeviation(Kind::PreAmp, {}, tavik_preamp::kLow, 0.5f), 0.01) << "Low";
}

TEST(ControlSweeps, ToneStackMovedAtAnySpeedStaysWithinItsStaticPeaks)
{
    // The preamp's boosted channel 2 feeds the tone stack a square-like wave, which rings hardest.
    using namespace tavik_preamp;
    const Settings boosted = {{kChannel, 1.0f}, {kBoost, 1.0f}, {kDrive2, 1.0f}};
    expectWithinStaticPeaks(Kind::PreAmp, boosted, kLow, 0, "Low");
    expectWithinStaticPeaks(Kind::PreAmp, boosted, kContour, 0, "Contour");
}

TEST(ControlSweeps, ContourTurnedOffZeroWithMidAtZeroStaysWithinItsStaticPeaks)
{
    // With Mid and Contour at 0 the tone stack's third pole sits at -1, and the slightest turn of Contour
    // moves it far: a small move by the rules for any other control.
    using namespace tavik_preamp;
    for (float quality : {0.0f, 1.0f}) {
        const Settings scooped = {{kQuality, quality}, {kInput, 1.0f}, {kLow, 1.0f}, {kMid, 0.0f}, {kHigh, 1.0f}};
        const auto at = [&](const std::function<float(int)>& value) {
            return peak(Kind::PreAmp, scooped, kContour, 0, value);
        };
        const double loudest = std::max(at([](int) { return 0.0f; }), at([](int) { return 0.05f; }));
        EXPECT_LT(at([](int b) { return (b / 4) % 2 ? 0.05f : 0.0f; }), 1.5 * loudest)
            << "LowQ/HighQ " << quality << "; static peak " << loudest;
    }
}

TEST(ControlSweeps, ChannelSwitchesStayWithinTheirStaticPeaks)
{
    // Clean driven hard but turned down, the other channel at full Volume: every switch recalls the other
    // Volume while the sound of the channel left is still on its way out, and the channel taken up again
    // resumes where it was cut off.
    using namespace tavik_preamp;
    const Settings crunch = {{kInput, 1.0f}, {kVolume, 0.3f}, {kCleanCrunch, 1.0f}, {kVolume, 1.0f}, {kDrive1, 1.0f}};
    expectWithinStaticPeaks(Kind::PreAmp, crunch, kCleanCrunch, 0, "Clean/Crunch");
    const Settings overdrive = {{kInput, 1.0f}, {kVolume, 0.3f}, {kChannel, 1.0f}, {kVolume, 1.0f}, {kDrive2, 1.0f}};
    expectWithinStaticPeaks(Kind::PreAmp, overdrive, kChannel, 0, "Channel");
    // Turned down further, the channel left rings on in the tone stack under the louder Volume recalled.
    for (const float volume : {0.1f, 0.03f}) {
        const Settings crunchToo = {{kInput, 1.0f}, {kVolume, volume}, {kCleanCrunch, 1.0f}, {kVolume, 1.0f},
                                    {kDrive1, 1.0f}};
        expectWithinStaticPeaks(Kind::PreAmp, crunchToo, kCleanCrunch, 0, "Clean/Crunch, Clean turned further down");
        const Settings channel2 = {{kInput, 1.0f}, {kVolume, volume}, {kChannel, 1.0f}, {kVolume, 1.0f},
                                   {kDrive2, 1.0f}};
        expectWithinStaticPeaks(Kind::PreAmp, channel2, kChannel, 0, "Channel, Clean turned further down");
    }
    // A switch to a channel turned almost off, then its Volume turned up at once: what the switch set aside must
    // not come back louder than it played.
    const double loudest = peak(Kind::PreAmp, {{kInput, 1.0f}, {kVolume, 1.0f}}, kVolume, 0, [](int) { return 1.0f; });
    const std::vector<float> in = guitar(kBlocks * kBlock, kRate);
    Plug p(Kind::PreAmp);
    p.start(kRate, kBlock);
    p.set(kInput, 1.0f);
    double top = 0.0;
    std::vector<float> out;
    for (int b = 0; b < kBlocks; ++b) {
        if (b % 2 == 0) p.set(kCleanCrunch, (b / 2) % 2 ? 1.0f : 0.0f);
        p.set(kVolume, b % 2 ? 1.0f : 0.001f);
        out.clear();
        const float* x = in.data() + static_cast<size_t>(b) * kBlock;
        p.process(x, x, kBlock, out);
        for (size_t i = 0; b >= kSettle && i < out.size(); i += 2) top = std::max(top, double(std::fabs(out[i])));
    }
    EXPECT_LT(top, 1.5 * loudest);
}

}  // namespace
