// One thread processes audio while another makes every call a host can make, in any order: parameters
// (random and re-sent values), programs, chunks (own and foreign), sample rates, suspend and resume. Built
// with ThreadSanitizer in `make test`. Nothing may crash or race, the output must stay finite and within the
// output limit, and the plug-in must sound again right after the storm.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "amp/output_limit.h"
#include "plugin_rig.h"

using namespace plugin_rig;

namespace {

double stormSeconds()
{
    // TAVIK_STRESS_SECONDS lengthens the storm for a longer soak by hand.
    const char* s = std::getenv("TAVIK_STRESS_SECONDS");
    return s ? std::max(0.1, std::atof(s)) : 2.0;
}

struct AudioThread {
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> finite{true};
    std::atomic<float> peak{0.0f};
    std::thread thread;

    explicit AudioThread(Plug& p)
    {
        thread = std::thread([this, &p] {
            const std::vector<float> signal = guitar(44100, 44100.0);
            std::mt19937 random(7);
            std::vector<float> out;
            size_t at = 0;
            while (!stop.load()) {
                const int32_t frames = 1 + static_cast<int32_t>(random() % 700);
                if (at + static_cast<size_t>(frames) > signal.size()) at = 0;
                out.clear();
                p.process(signal.data() + at, signal.data() + at, frames, out);
                at += static_cast<size_t>(frames);
                float blockPeak = 0.0f;
                for (float x : out) {
                    if (!std::isfinite(x)) finite = false;
                    blockPeak = std::max(blockPeak, std::fabs(x));
                }
                if (blockPeak > peak.load()) peak = blockPeak;
                blocks.fetch_add(1);
            }
        });
    }
    void join()
    {
        stop = true;
        thread.join();
    }
};

class Storm : public testing::TestWithParam<Kind> {};

TEST_P(Storm, EveryCallFromASecondThreadWhileAudioRuns)
{
    const Kind kind = GetParam();
    Plug p(kind);
    p.start(44100.0f, 512);
    std::vector<std::vector<unsigned char>> foreign;
    {
        Plug other(kind);
        other.start(48000.0f, 512);
        other.set(1, 1.0f);
        other.set(kind == Kind::FullStack ? int32_t{tavik::kIrSource2} : int32_t{tavik_preamp::kMonoStereo}, 1.0f);
        foreign = {other.chunk(true), other.chunk(false)};
    }

    AudioThread audio(p);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f, 44100.0f};
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(stormSeconds());
    long calls = 0;
    while (std::chrono::steady_clock::now() < end) {
        const int32_t index = static_cast<int32_t>(random() % static_cast<unsigned>(p.params()));
        const bool loadTrigger = kind == Kind::FullStack && (index == tavik::kLoadIr1 || index == tavik::kLoadIr2);
        switch (random() % 16) {
        case 0: p.call(vst::effSetProgram, 0, static_cast<intptr_t>(random() % 10)); break;
        case 1: p.call(vst::effSetProgram, 0, p.call(vst::effGetProgram)); break;
        case 2: p.setChunk(p.chunk(random() % 2 == 0), random() % 2 == 0 ? true : false); break;
        case 3: p.setChunk(foreign[random() % 2], random() % 2 == 0); break;
        case 4: p.call(vst::effSetSampleRate, 0, 0, nullptr, rates[random() % 5]); break;
        case 5: p.call(vst::effMainsChanged, 0, static_cast<intptr_t>(random() % 2)); break;
        case 6: case 7: case 8: p.set(index, p.get(index)); break;
        default:
            if (!loadTrigger) p.set(index, unit(random));
            break;
        }
        ++calls;
    }

    // The storm is over: a sane program and the rate the audio thread plays at; sound within a second.
    {
        Plug fresh(kind);
        p.setChunk(fresh.chunk(false), false);
        p.call(vst::effSetProgram, 0, 3);
        p.call(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        p.call(vst::effMainsChanged, 0, 1);
    }
    const long before = audio.blocks.load();
    const float peakDuringStorm = audio.peak.load();
    audio.peak = 0.0f;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    while (audio.blocks.load() < before + 400) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const float peakAfter = audio.peak.load();
    audio.join();

    EXPECT_TRUE(audio.finite.load()) << name(kind);
    // Random values at this pace turn the amp into a square-wave generator (a channel switch flipping every
    // few samples) that the cabinets at full volume may legitimately push past the limit; what leaves the
    // plug-in still stays within it.
    EXPECT_LE(peakDuringStorm, amp::kOutputLimit) << name(kind);
    EXPECT_GT(peakAfter, 0.01f) << name(kind) << ": no sound after the storm";
    EXPECT_GT(calls, 100) << name(kind);
    std::printf("%s: %ld calls, %ld blocks, peak %.3f during the storm, %.3f after\n", name(kind), calls,
                before, static_cast<double>(peakDuringStorm), static_cast<double>(peakAfter));
}

TEST_P(Storm, NewSampleRatesWhileAudioRunsManyTimes)
{
    const Kind kind = GetParam();
    Plug p(kind);
    p.start(44100.0f, 256);
    AudioThread audio(p);
    const float rates[] = {48000.0f, 96000.0f, 44100.0f, 88200.0f, 32000.0f};
    for (int round = 0; round < 60; ++round) {
        p.call(vst::effSetSampleRate, 0, 0, nullptr, rates[round % 5]);
        const long seen = audio.blocks.load();
        while (audio.blocks.load() < seen + 2) std::this_thread::yield();
    }
    audio.join();
    EXPECT_TRUE(audio.finite.load());
    EXPECT_LE(audio.peak.load(), amp::kOutputLimit);
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Storm, testing::Values(Kind::FullStack, Kind::PreAmp),
                         [](const testing::TestParamInfo<Kind>& param) {
                             return std::string(param.param == Kind::FullStack ? "FullStack" : "PreAmp");
                         });

}  // namespace
