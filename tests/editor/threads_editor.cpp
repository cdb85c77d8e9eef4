// Both editors opened and closed again and again while one thread processes audio and another automates
// parameters, as in a DAW: run under ThreadSanitizer, nothing the editor does may race either thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/tavik.h"
#include "support/x11_host.h"

using namespace testing_support;

namespace {

template <class Effect>
void openAndCloseWhileAudioAndAutomationRun(int width, int height, const std::vector<int32_t>& automated) {
    X11Parent parent(width, height);
    ASSERT_TRUE(parent.ok()) << "no X display: run under xvfb-run";
    auto effect = std::make_unique<Effect>(editorHost);
    effect->setSampleRate(44100.0f);
    vst::AEffect* e = effect->getAeffect();
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::atomic<int> changes{0};
    std::thread audio([&] {
        std::vector<float> in(128, 0.1f), left(128), right(128);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {left.data(), right.data()};
        while (!stop.load()) {
            e->processReplacing(e, ins, outs, 128);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        for (int i = 0; !stop.load(); ++i) {
            e->setParameter(e, automated[static_cast<std::size_t>(i) % automated.size()],
                            static_cast<float>(i % 7) / 6.0f);
            changes.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int cycle = 0; cycle < 20; ++cycle) {
        EXPECT_EQ(e->dispatcher(e, vst::effEditOpen, 0, 0, parent.handle(), 0.0f), 1) << "cycle " << cycle;
        for (int i = 0; i < 4; ++i) {
            e->dispatcher(e, vst::effEditIdle, 0, 0, nullptr, 0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f);
    }
    stop = true;
    audio.join();
    automation.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_GT(changes.load(), 0);
}

TEST(EditorThreads, FullStackOpensAndClosesWhileAudioAndAutomationRun) {
    openAndCloseWhileAudioAndAutomationRun<tavik::Tavik>(
        660, 417,
        {tavik::kInput, tavik::kChannel, tavik::kCleanCrunch, tavik::kLow, tavik::kVolume, tavik::kQuality,
         tavik::kVolume1, tavik::kStereoLink, tavik::kPan2, tavik::kFreqLp1, tavik::kDelay1});
}

TEST(EditorThreads, PreampOpensAndClosesWhileAudioAndAutomationRun) {
    openAndCloseWhileAudioAndAutomationRun<tavik_preamp::Tavik>(
        660, 175,
        {tavik_preamp::kInput, tavik_preamp::kChannel, tavik_preamp::kMid, tavik_preamp::kVolume,
         tavik_preamp::kQuality, tavik_preamp::kContour, tavik_preamp::kMonoStereo});
}

}  // namespace
