// Hosts that keep processing between effMainsChanged(0) and (1) while another thread re-sends values and the
// rate there: nothing may go silent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "plugin_rig.h"

using namespace plugin_rig;

namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 64;

// Blocks of the steady signal that came out all zero while the other thread ran `resend` in a loop.
long silentBlocks(Kind kind, int32_t parameter)
{
    Plug p(kind);
    p.start(kRate, kBlock);
    // A constant tone: every block of the warmed-up output has sound in it.
    const std::vector<float> tone = [] {
        std::vector<float> x(static_cast<size_t>(kRate));
        for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 220.0 * static_cast<double>(i) / kRate));
        return x;
    }();
    std::vector<float> out;
    for (size_t at = 0; at + kBlock <= tone.size(); at += kBlock) p.process(tone.data() + at, tone.data() + at, kBlock, out);

    std::atomic<bool> stop{false};
    std::thread host([&] {
        const float value = p.get(parameter);
        while (!stop.load()) {
            p.call(vst::effMainsChanged, 0, 0);
            p.set(parameter, value);
            p.call(vst::effSetSampleRate, 0, 0, nullptr, kRate);
            p.call(vst::effMainsChanged, 0, 1);
        }
    });
    long silent = 0;
    size_t at = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    while (std::chrono::steady_clock::now() < until) {
        if (at + kBlock > tone.size()) at = 0;
        out.clear();
        p.process(tone.data() + at, tone.data() + at, kBlock, out);
        at += kBlock;
        bool any = false;
        for (float x : out) any = any || x != 0.0f;
        if (!any) ++silent;
    }
    stop = true;
    host.join();
    return silent;
}

TEST(SuspendedHosts, ValuesAndTheRateResentBetweenMainsOffAndOnKeepTheSound)
{
    EXPECT_EQ(silentBlocks(Kind::FullStack, tavik::kLow), 0) << "full stack, Low re-sent";
    EXPECT_EQ(silentBlocks(Kind::FullStack, tavik::kQuality), 0) << "full stack, Quality re-sent";
    EXPECT_EQ(silentBlocks(Kind::PreAmp, tavik_preamp::kLow), 0) << "preamp, Low re-sent";
    EXPECT_EQ(silentBlocks(Kind::PreAmp, tavik_preamp::kQuality), 0) << "preamp, Quality re-sent";
}

}  // namespace
