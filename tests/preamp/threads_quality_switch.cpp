// The quality switch and rate changes arrive on another thread while the audio thread processes: each
// new set-up must be taken whole between two blocks, without either thread waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "preamp_test_util.h"

using namespace tavik_preamp;

namespace {

TEST(PreampQualitySwitch, TogglingWhileAudioRunsIsRaceFree)
{
    auto fx = preamp_test::makeEffect();
    fx->setSampleRate(48000.0f);
    fx->setParameter(kMonoStereo, 1.0f);
    fx->setParameter(kChannel, 1.0f);
    fx->resume();
    std::atomic<bool> stop{false};
    std::atomic<bool> allFinite{true};
    std::atomic<bool> consistent{true};
    std::atomic<int> blocks{0};

    std::thread audio([&] {
        std::vector<float> in(128), l(128), r(128);
        double phase = 0;
        while (!stop.load()) {
            for (float& x : in) {
                x = static_cast<float>(0.3 * std::sin(phase));
                phase += 2 * preamp_test::kPi * 110 / 48000;
            }
            float* ins[2] = {in.data(), in.data()};
            float* outs[2] = {l.data(), r.data()};
            fx->processReplacing(ins, outs, 128);
            for (std::size_t i = 0; i < l.size(); ++i)
                if (!std::isfinite(l[i]) || !std::isfinite(r[i])) allFinite = false;
            // Factor, period and coefficients of one set-up, on both paths.
            const auto& left = fx->chain().pathLeft();
            const auto& right = fx->chain().pathRight();
            const double hostRate = left.oversampledRate / left.factor;
            const bool knownRate = std::fabs(hostRate - 44100) < 1e-6 || std::fabs(hostRate - 48000) < 1e-6;
            if (!knownRate || right.factor != left.factor || right.T != left.T ||
                std::fabs(left.T * left.oversampledRate - 1.0) > 1e-12 ||
                !(left.factor == 4 || left.factor == 8))
                consistent = false;
            blocks.fetch_add(1);
        }
    });
    std::thread ui([&] {
        for (int i = 0; i < 200; ++i) {
            fx->setParameter(kQuality, (i & 1) ? 1.0f : 0.0f);
            fx->setParameter(kLow, static_cast<float>(i % 10) / 10.0f);
            if (i % 25 == 0) fx->setSampleRate(i % 50 == 0 ? 44100.0f : 48000.0f);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    ui.join();
    while (blocks.load() < 50) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    audio.join();
    EXPECT_TRUE(allFinite.load());
    EXPECT_TRUE(consistent.load());

    // The last word was HighQ at 48000 Hz (i = 175 set the rate, i = 199 the quality).
    std::vector<float> in(8, 0.1f), l(8), r(8);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    fx->processReplacing(ins, outs, 8);
    EXPECT_EQ(fx->chain().factor(), 8);
    EXPECT_NEAR(fx->chain().oversampledRate(), 384000.0, 1e-6);
}

}  // namespace
