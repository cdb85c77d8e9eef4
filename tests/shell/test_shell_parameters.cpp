// The parameter path of the full-stack effect: channel memories, drive tapers and control couplings.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "shell/tavik.h"

namespace {

using tavik::Tavik;

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::unique_ptr<Tavik> make() {
    return std::make_unique<Tavik>(host);
}

TEST(Parameters, DriveTapersAndThePotsHeldOutsideTheirChannel) {
    auto t = make();
    EXPECT_NEAR(t->drive1Gain(), 0.29855, 1e-12) << "construction applies the Init drive of 0.5";
    t->setParameter(tavik::kDrive1, 0.9f);  // Clean is selected
    EXPECT_EQ(t->getParameter(tavik::kDrive1), 0.5f);
    EXPECT_NEAR(t->drive1Gain(), 0.29855, 1e-12);
    t->setParameter(tavik::kCleanCrunch, 1.0f);
    t->setParameter(tavik::kDrive1, 0.0f);
    EXPECT_NEAR(t->drive1Gain(), 0.089125, 1e-12);
    t->setParameter(tavik::kDrive1, 1.0f);
    EXPECT_NEAR(t->drive1Gain(), 1.000025, 1e-9);
    t->setParameter(tavik::kDrive2, 1.0f);  // Crunch: Drive2 rests at 0.5
    EXPECT_EQ(t->getParameter(tavik::kDrive2), 0.5f);
    t->setParameter(tavik::kChannel, 1.0f);
    t->setParameter(tavik::kDrive2, 0.0f);
    EXPECT_NEAR(t->drive2Gain(), 0.089125, 1e-12);
}

TEST(Parameters, ChannelRecallRestoresEachChannelExactly) {
    auto t = make();
    const int32_t knobs[] = {tavik::kInput, tavik::kLow, tavik::kMid, tavik::kHigh, tavik::kContour,
                             tavik::kVolume, tavik::kBright, tavik::kPowerAmp};
    float cleanValues[8];
    for (int i = 0; i < 8; ++i) {
        cleanValues[i] = 0.1f + 0.1f * static_cast<float>(i);
        t->setParameter(knobs[i], cleanValues[i]);
    }
    t->setParameter(tavik::kChannel, 1.0f);  // Overdrive starts from its own memory
    EXPECT_EQ(t->getParameter(tavik::kInput), 0.5f);
    t->setParameter(tavik::kBoost, 1.0f);
    for (int32_t k : knobs) t->setParameter(k, 0.95f);
    t->setParameter(tavik::kDrive2, 0.8f);
    t->setParameter(tavik::kChannel, 0.0f);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t->getParameter(knobs[i]), cleanValues[i]) << knobs[i];
    EXPECT_EQ(t->getParameter(tavik::kDrive1), 0.5f);
    EXPECT_EQ(t->getParameter(tavik::kDrive2), 0.5f);
    EXPECT_EQ(t->getParameter(tavik::kBoost), 1.0f) << "boost keeps its value outside Overdrive";

    // Boost set outside Overdrive is not remembered; Overdrive brings its own value back.
    t->setParameter(tavik::kBoost, 0.0f);
    t->setParameter(tavik::kChannel, 1.0f);
    EXPECT_EQ(t->getParameter(tavik::kBoost), 1.0f);
    EXPECT_EQ(t->getParameter(tavik::kDrive2), 0.8f);
    for (int32_t k : knobs) EXPECT_EQ(t->getParameter(k), 0.95f) << k;

    // Memories are mirrored in the current program's record.
    const auto& record = t->program(0);
    for (int m = 0; m < tavik::kChannelMemorySize; ++m) EXPECT_EQ(record.channelMemory[m], t->channelMemory(m)) << m;
}

TEST(Parameters, CrunchAndCleanKeepSeparateMemories) {
    auto t = make();
    t->setParameter(tavik::kLow, 0.2f);
    t->setParameter(tavik::kCleanCrunch, 1.0f);
    EXPECT_EQ(t->getParameter(tavik::kLow), 0.5f);
    t->setParameter(tavik::kLow, 0.7f);
    t->setParameter(tavik::kDrive1, 0.9f);
    t->setParameter(tavik::kCleanCrunch, 0.0f);
    EXPECT_EQ(t->getParameter(tavik::kLow), 0.2f);
    EXPECT_EQ(t->getParameter(tavik::kDrive1), 0.5f);
    t->setParameter(tavik::kCleanCrunch, 1.0f);
    EXPECT_EQ(t->getParameter(tavik::kLow), 0.7f);
    EXPECT_EQ(t->getParameter(tavik::kDrive1), 0.9f);
}

TEST(Parameters, StereoLinkAndDelays) {
    auto t = make();
    t->setParameter(tavik::kVolume1, 0.3f);
    t->setParameter(tavik::kPan1, 0.1f);
    t->setParameter(tavik::kStereoLink, 1.0f);
    EXPECT_EQ(t->getParameter(tavik::kPan1), 0.5f);
    EXPECT_EQ(t->getParameter(tavik::kPan2), 0.5f);
    EXPECT_EQ(t->getParameter(tavik::kVolume1), 0.5f);
    EXPECT_EQ(t->getParameter(tavik::kVolume2), 0.5f);
    t->setParameter(tavik::kVolume1, 0.2f);
    EXPECT_FLOAT_EQ(t->getParameter(tavik::kVolume2), 0.8f);
    t->setParameter(tavik::kVolume2, 0.1f);
    EXPECT_FLOAT_EQ(t->getParameter(tavik::kVolume2), 0.8f);
    t->setParameter(tavik::kPan1, 0.0f);
    EXPECT_EQ(t->getParameter(tavik::kPan1), 0.5f);
    // The link sent again while on (hosts re-send values) keeps the levels set since it was switched on.
    t->setParameter(tavik::kStereoLink, 0.9f);
    EXPECT_EQ(t->getParameter(tavik::kVolume1), 0.2f);
    EXPECT_FLOAT_EQ(t->getParameter(tavik::kVolume2), 0.8f);
    t->setParameter(tavik::kStereoLink, 0.0f);
    t->setParameter(tavik::kPan1, 0.0f);
    EXPECT_EQ(t->getParameter(tavik::kPan1), 0.0f);

    // The delays hold what the host sends, however often it sends it; the line glides in the audio path.
    for (int i = 0; i < 3; ++i) {
        t->setParameter(tavik::kDelay1, 0.7f);
        EXPECT_EQ(t->getParameter(tavik::kDelay1), 0.7f);
    }
    EXPECT_EQ(t->program(0).values[tavik::recordSlot(tavik::kDelay1)], 0.7f);
}

TEST(Parameters, AProgramWithTheStereoLinkOnKeepsItsLevels) {
    auto t = make();
    t->setParameter(tavik::kStereoLink, 1.0f);
    t->setParameter(tavik::kVolume1, 0.3f);
    t->setProgram(1);  // link off
    t->setProgram(0);  // switching the link on again must not overwrite the program's own levels
    EXPECT_EQ(t->getParameter(tavik::kVolume1), 0.3f);
    EXPECT_FLOAT_EQ(t->getParameter(tavik::kVolume2), 0.7f);
    EXPECT_EQ(t->program(0).values[tavik::recordSlot(tavik::kVolume1)], 0.3f);
}

}  // namespace

namespace {

TEST(SampleRates, AnyFinitePositiveRateKeepsTheOutputFiniteAndOthersAreIgnored) {
    for (float rate : {1.0f, 100.0f, 8000.0f, 22050.0f, 50000.0f, 192000.0f, 768000.0f}) {
        auto t = make();
        t->setSampleRate(rate);
        for (float bad : {0.0f, -44100.0f, NAN, INFINITY}) t->setSampleRate(bad);
        EXPECT_EQ(t->getSampleRate(), rate);
        for (float q : {0.0f, 1.0f}) {
            t->setParameter(tavik::kQuality, q);
            for (float ch : {0.0f, 1.0f}) {
                t->setParameter(tavik::kChannel, ch);
                std::vector<float> in(2048), l(2048), r(2048);
                for (size_t i = 0; i < in.size(); ++i) in[i] = 0.8f * std::sin(0.05f * static_cast<float>(i));
                float* ins[2] = {in.data(), in.data()};
                float* outs[2] = {l.data(), r.data()};
                for (int b = 0; b < 4; ++b) t->processReplacing(ins, outs, 2048);
                for (size_t i = 0; i < l.size(); ++i)
                    ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i])) << "rate " << rate << " sample " << i;
            }
        }
    }
}

}  // namespace
