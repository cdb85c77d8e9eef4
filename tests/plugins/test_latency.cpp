// The delay each plug-in reports is where an impulse's response starts, at every rate, and a host that
// compensates plug-in delay hears of a change.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/tavik.h"

namespace {

int ioChangedCalls = 0;

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == vst::audioMasterIOChanged) ++ioChangedCalls;
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The first output sample that is not zero after an impulse at sample 0, played in odd blocks.
template <class Effect>
int arrival(Effect& effect) {
    constexpr int kFrames = 2000;
    std::vector<float> in(kFrames, 0.0f), left(kFrames), right(kFrames);
    in[0] = 0.5f;
    for (int at = 0; at < kFrames; at += 97) {
        const int count = std::min(97, kFrames - at);
        float* ins[2] = {in.data() + at, in.data() + at};
        float* outs[2] = {left.data() + at, right.data() + at};
        effect.processReplacing(ins, outs, count);
    }
    for (int i = 0; i < kFrames; ++i)
        if (left[i] != 0.0f || right[i] != 0.0f) return i;
    return -1;
}

TEST(Latency, FullStackReportsWhereTheImpulseArrives) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 44100.0f}) {
        tavik::Tavik effect(host);
        ioChangedCalls = 0;
        effect.setSampleRate(rate);
        effect.resume();
        EXPECT_EQ(arrival(effect), effect.initialDelay()) << rate;
        EXPECT_EQ(effect.initialDelay(), rate < 50000.0f ? 201 : 401) << rate;
        // Built at 44.1 kHz: only a rate that moves the delay is announced.
        EXPECT_EQ(ioChangedCalls, rate == 96000.0f ? 1 : 0) << rate;
    }
}

TEST(Latency, FullStackRateChangeBackAndForth) {
    tavik::Tavik effect(host);
    effect.setSampleRate(96000.0f);
    effect.setSampleRate(48000.0f);
    effect.resume();
    EXPECT_EQ(effect.initialDelay(), 201);
    EXPECT_EQ(arrival(effect), 201);
}

TEST(Latency, PreampHasNoFixedDelay) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        tavik_preamp::Tavik effect(host);
        effect.setSampleRate(rate);
        effect.resume();
        EXPECT_EQ(effect.initialDelay(), 0);
        EXPECT_EQ(arrival(effect), 0) << rate;
    }
}

}  // namespace
