// Hosts send values again all the time: automation playback, session restore (every parameter, then the
// program, then the chunk), generic editors on every redraw, our own editor when it opens. Whatever is sent
// again must leave the sound untouched, sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "plugin_rig.h"
#include "support/wav_file.h"

using namespace plugin_rig;

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 256;
constexpr int kWarmBlocks = 120;  // long enough for glides to arrive
constexpr int kAfterBlocks = 60;

std::string impulseResponseFile()
{
    const auto path = std::filesystem::temp_directory_path() / "tavik_resend_ir.wav";
    return testing_support::writeFile(path.string(),
                                      testing_support::wavBytes(testing_support::testImpulseResponse(700), 1, 44100));
}

// Everything in use: another channel and quality, the stereo link, delays, filters, a loaded response.
void busy(Kind kind, Plug& p)
{
    if (kind == Kind::FullStack) {
        using namespace tavik;
        for (auto [index, value] : {std::pair{kCleanCrunch, 1.0f}, {kDrive1, 0.8f}, {kBright, 1.0f}, {kQuality, 1.0f},
                                    {kStereoLink, 1.0f}, {kVolume1, 0.3f}, {kDelay1, 0.4f}, {kDelay2, 0.7f},
                                    {kPhase2, 1.0f}, {kFreqHp1, 0.2f}, {kFreqLp2, 0.4f}, {kCab2On, 0.0f}})
            p.set(index, value);
        p.set(kCab2On, 1.0f);
        fileAnswers().push_back(impulseResponseFile());
        p.set(kLoadIr1, 1.0f);
        p.set(kIrSource1, 1.0f);
    } else {
        using namespace tavik_preamp;
        for (auto [index, value] : {std::pair{kChannel, 1.0f}, {kDrive2, 0.7f}, {kBoost, 1.0f}, {kMonoStereo, 1.0f},
                                    {kQuality, 1.0f}, {kBright, 1.0f}})
            p.set(index, value);
    }
}

struct Played {
    std::vector<float> warm, after;
};

// One instance from start to end; `resend` acts between the warm-up and the rest.
Played play(Kind kind, bool busyState, const std::function<void(Plug&)>& resend)
{
    const std::vector<float> left = guitar((kWarmBlocks + kAfterBlocks) * kBlock, kRate);
    const std::vector<float> right = guitar((kWarmBlocks + kAfterBlocks) * kBlock, kRate, 1.5);
    Plug p(kind);
    p.start(kRate, kBlock);
    if (busyState) busy(kind, p);
    Played run;
    for (int b = 0; b < kWarmBlocks + kAfterBlocks; ++b) {
        if (b == kWarmBlocks && resend) resend(p);
        const size_t at = static_cast<size_t>(b) * kBlock;
        p.process(left.data() + at, right.data() + at, kBlock, b < kWarmBlocks ? run.warm : run.after);
    }
    return run;
}

std::string difference(const std::vector<float>& a, const std::vector<float>& b)
{
    size_t first = a.size();
    double worst = 0.0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i] && first == a.size()) first = i;
        worst = std::max(worst, static_cast<double>(std::fabs(a[i] - b[i])));
    }
    if (first == a.size()) return {};
    return "first difference at frame " + std::to_string(first / 2) + ", largest " + std::to_string(worst);
}

class Resend : public testing::TestWithParam<std::tuple<Kind, bool>> {};

TEST_P(Resend, EveryValueProgramChunkAndRateSentAgainIsInaudible)
{
    const auto [kind, busyState] = GetParam();
    const Played reference = play(kind, busyState, nullptr);
    ASSERT_GT(*std::max_element(reference.after.begin(), reference.after.end()), 0.01f) << "the test plays sound";

    std::vector<std::pair<std::string, std::function<void(Plug&)>>> resends;
    const int32_t params = Plug(kind).params();
    for (int32_t i = 0; i < params; ++i) {
        if (kind == Kind::FullStack && (i == tavik::kLoadIr1 || i == tavik::kLoadIr2)) continue;  // load triggers
        resends.emplace_back("parameter " + std::to_string(i), [i](Plug& p) { p.set(i, p.get(i)); });
    }
    resends.emplace_back("the current program",
                         [](Plug& p) { p.call(vst::effSetProgram, 0, p.call(vst::effGetProgram)); });
    resends.emplace_back("its own program chunk", [](Plug& p) { EXPECT_EQ(p.setChunk(p.chunk(true), true), 1); });
    resends.emplace_back("its own bank chunk", [](Plug& p) { EXPECT_EQ(p.setChunk(p.chunk(false), false), 1); });
    resends.emplace_back("the current rate", [](Plug& p) { p.call(vst::effSetSampleRate, 0, 0, nullptr, kRate); });
    resends.emplace_back("resume and block size", [](Plug& p) {
        p.call(vst::effMainsChanged, 0, 1);
        p.call(vst::effSetBlockSize, 0, kBlock);
    });
    resends.emplace_back("a session restore", [params, kind](Plug& p) {
        const auto bank = p.chunk(false);
        for (int32_t i = 0; i < params; ++i)
            if (kind != Kind::FullStack || (i != tavik::kLoadIr1 && i != tavik::kLoadIr2)) p.set(i, p.get(i));
        p.call(vst::effSetProgram, 0, p.call(vst::effGetProgram));
        p.setChunk(bank, false);
    });

    for (const auto& [what, resend] : resends) {
        const Played run = play(kind, busyState, resend);
        ASSERT_EQ(run.warm, reference.warm) << "the twins must start alike";
        const std::string diff = difference(run.after, reference.after);
        EXPECT_TRUE(diff.empty()) << name(kind) << (busyState ? ", busy" : ", initial") << ": " << what
                                  << " sent again changed the sound: " << diff;
    }
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Resend,
                         testing::Combine(testing::Values(Kind::FullStack, Kind::PreAmp), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<Kind, bool>>& param) {
                             return std::string(std::get<0>(param.param) == Kind::FullStack ? "FullStack" : "PreAmp") +
                                    (std::get<1>(param.param) ? "Busy" : "Initial");
                         });

}  // namespace
