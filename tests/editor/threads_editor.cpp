// Both editors opened and closed again and again while one thread processes audio and another automates
// parameters, as in a DAW: run under ThreadSanitizer, nothing the editor does may race either thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
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

namespace {

// Opening the editor re-reads what the cabinets play; it must not write it back into a program that a
// program switch on another thread is replaying at the same moment.
TEST(EditorThreads, OpeningTheEditorDuringProgramSwitchesChangesNoProgram) {
    X11Parent parent(660, 417);
    ASSERT_TRUE(parent.ok()) << "no X display: run under xvfb-run";
    auto effect = std::make_unique<tavik::Tavik>(editorHost);
    effect->setSampleRate(44100.0f);
    vst::AEffect* e = effect->getAeffect();
    // Every program its own pair of "Int/Ext IR" switches; a second pass lets each replay settle.
    for (int pass = 0; pass < 2; ++pass)
        for (int p = 0; p < tavik::kNumPrograms; ++p) {
            e->dispatcher(e, vst::effSetProgram, 0, p, nullptr, 0.0f);
            if (pass == 0) {
                e->setParameter(e, tavik::kIrSource1, static_cast<float>(p % 2));
                e->setParameter(e, tavik::kIrSource2, static_cast<float>((p / 2) % 2));
            }
        }
    std::vector<tavik::ProgramRecord> before;
    for (int p = 0; p < tavik::kNumPrograms; ++p) before.push_back(effect->program(p));

    std::atomic<bool> stop{false};
    std::thread switcher([&] {
        for (int i = 0; !stop.load(); ++i) e->dispatcher(e, vst::effSetProgram, 0, (i * 7) % tavik::kNumPrograms, nullptr, 0.0f);
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
        e->dispatcher(e, vst::effEditOpen, 0, 0, parent.handle(), 0.0f);
        e->dispatcher(e, vst::effEditIdle, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f);
    }
    stop = true;
    switcher.join();
    for (int p = 0; p < tavik::kNumPrograms; ++p)
        EXPECT_EQ(std::memcmp(before[static_cast<std::size_t>(p)].values, effect->program(p).values,
                              sizeof(tavik::ProgramRecord::values)),
                  0)
            << "program " << p << " changed";
}

}  // namespace
