// The quality switch arrives on a user-interface thread while the audio thread processes: the new
// oversampling design must be taken between two blocks, whole, without either thread waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "shell/tavik.h"

namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

void processBlock(tavik::Tavik& t, std::vector<float>& in, std::vector<float>& l, std::vector<float>& r) {
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    t.processReplacing(ins, outs, static_cast<int32_t>(in.size()));
}

TEST(QualitySwitch, TakesEffectAtTheNextBlock) {
    auto t = std::make_unique<tavik::Tavik>(host);
    t->setSampleRate(44100.0f);
    std::vector<float> in(64, 0.1f), l(64), r(64);
    processBlock(*t, in, l, r);
    EXPECT_EQ(t->ampModel().factor(), 4);
    t->setParameter(tavik::kQuality, 1.0f);
    processBlock(*t, in, l, r);
    EXPECT_EQ(t->ampModel().factor(), 8);
    EXPECT_DOUBLE_EQ(t->ampModel().oversampledRate(), 352800.0);
    t->setSampleRate(96000.0f);
    processBlock(*t, in, l, r);
    EXPECT_EQ(t->ampModel().factor(), 4);
    t->setParameter(tavik::kQuality, 0.0f);
    processBlock(*t, in, l, r);
    EXPECT_EQ(t->ampModel().factor(), 2);
}

TEST(QualitySwitch, TogglingWhileAudioRunsIsRaceFree) {
    auto t = std::make_unique<tavik::Tavik>(host);
    t->setSampleRate(48000.0f);
    std::atomic<bool> stop{false};
    std::atomic<bool> allFinite{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> in(128), l(128), r(128);
        double phase = 0;
        while (!stop.load()) {
            for (float& x : in) {
                x = static_cast<float>(0.3 * std::sin(phase));
                phase += 2 * M_PI * 110 / 48000;
            }
            processBlock(*t, in, l, r);
            for (size_t i = 0; i < l.size(); ++i)
                if (!std::isfinite(l[i]) || !std::isfinite(r[i])) allFinite = false;
            blocks.fetch_add(1);
        }
    });
    std::thread ui([&] {
        for (int i = 0; i < 200; ++i) {
            t->setParameter(tavik::kQuality, (i & 1) ? 1.0f : 0.0f);
            t->setParameter(tavik::kLow, static_cast<float>(i % 10) / 10.0f);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    ui.join();
    while (blocks.load() < 50) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    audio.join();
    EXPECT_TRUE(allFinite.load());
    int factor = t->ampModel().factor();
    EXPECT_TRUE(factor == 4 || factor == 8) << factor;
}

}  // namespace
