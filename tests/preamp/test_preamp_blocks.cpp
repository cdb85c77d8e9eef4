// The preamp-only chain working in blocks against the same chain one sample at a time (the amp tests'
// reference_amp.h): both paths, mono and stereo switching in the middle of blocks, every quality and both
// ways of running the stages give the same outputs to the last bit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "amp/output_limit.h"
#include "preamp/preamp_chain.h"
#include "reference_amp.h"

using namespace tavik_preamp;

namespace {

// The chain as it ran per sample: left path, then (in stereo) the right one, each sample through the whole
// cascade before the next; a channel section taken up again starts from rest, and what the one left still
// holds is scaled down from its Volume to a louder new one's.
struct PerSampleChain {
    amp::AmpPath left, right;
    int sectionLeft = -1, sectionRight = -1;
    float volumeLeft = 0.0f, volumeRight = 0.0f;

    static void takeUp(amp::AmpPath& path, int& last, float& lastVolume, const PreampFrame& frame)
    {
        const int section = amp::sectionOf(frame.switches);
        if (last >= 0 && section != last) {
            path.restSection(frame.switches);
            if (frame.volume > lastVolume) path.scaleOutgoing(lastVolume / frame.volume);
        }
        last = section;
        lastVolume = frame.volume;
    }

    void render(const float* inL, const float* inR, const PreampFrame* frame, int n, int countdown,
                const amp::PreampControls& controls, float* outL, float* outR)
    {
        const double contourGain = amp::contourLevel(controls.contour) * 0.01;
        for (int i = 0; i < n; ++i) {
            const float xL = std::isfinite(inL[i]) ? inL[i] : 0.0f;
            const float xR = frame[i].stereo && std::isfinite(inR[i]) ? inR[i] : 0.0f;
            const double guard = 1e-9 * std::sin(static_cast<double>(countdown - i) * 6283.19304 * left.T);
            takeUp(left, sectionLeft, volumeLeft, frame[i]);
            const float yL = amp::reference::preampSample(left, controls, contourGain, static_cast<float>(xL + guard),
                                                          frame[i].switches);
            outL[i] = amp::limitOutput(frame[i].volume * yL);
            if (!frame[i].stereo) {
                outR[i] = outL[i];
                continue;
            }
            takeUp(right, sectionRight, volumeRight, frame[i]);
            const float yR = amp::reference::preampSample(right, controls, contourGain, static_cast<float>(xR + guard),
                                                          frame[i].switches);
            outR[i] = amp::limitOutput(frame[i].volume * yR);
        }
    }
};

void compareWithPerSample(bool highQ, amp::StageVectors vectors)
{
    PreampChain chain;
    chain.requestSetup(44100.0f);
    chain.adoptPending(highQ);
    chain.runStagesOn(vectors);
    PerSampleChain ref{chain.pathLeft(), chain.pathRight()};

    std::mt19937 gen(9);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_int_distribution<int> bit(0, 1), oneIn(0, 149);
    std::uniform_real_distribution<double> knob(0.0, 1.0);
    PreampFrame now{{1, 0, 1, 0}, false, 0.8f};
    long n = 0;
    for (int size = 1; size <= 260; size += size < 80 ? 1 : 7) {
        const amp::PreampControls controls{0.4 + 0.6 * knob(gen), amp::driveTaper(knob(gen)), amp::driveTaper(knob(gen)),
                                           knob(gen), knob(gen), knob(gen), knob(gen)};
        std::vector<float> inL(static_cast<std::size_t>(size)), inR(inL.size());
        std::vector<PreampFrame> frames(inL.size());
        for (std::size_t i = 0; i < inL.size(); ++i, ++n) {
            const double t = static_cast<double>(n) / 44100.0;
            inL[i] = static_cast<float>(0.5 * std::sin(2 * 3.141592653589793 * 110.0 * t) + 0.1 * noise(gen));
            inR[i] = static_cast<float>(2.0 * std::sin(2 * 3.141592653589793 * 165.0 * t) + 0.1 * noise(gen));
            if (oneIn(gen) == 0) now.stereo = !now.stereo;
            if (oneIn(gen) == 0) now.switches = {bit(gen), bit(gen), bit(gen), bit(gen)};
            if (oneIn(gen) == 0) now.volume = static_cast<float>(knob(gen));
            frames[i] = now;
        }
        std::vector<float> blockL(inL.size()), blockR(inL.size()), refL(inL.size()), refR(inL.size());
        chain.render(inL.data(), inR.data(), frames.data(), size, size - 1, controls, blockL.data(), blockR.data());
        ref.render(inL.data(), inR.data(), frames.data(), size, size - 1, controls, refL.data(), refR.data());
        for (int i = 0; i < size; ++i) {
            const auto k = static_cast<std::size_t>(i);
            ASSERT_EQ(blockL[k], refL[k]) << (highQ ? "HighQ" : "LowQ") << ", stage vectors " << static_cast<int>(vectors)
                                          << ": left, block of " << size << ", sample " << i;
            ASSERT_EQ(blockR[k], refR[k]) << (highQ ? "HighQ" : "LowQ") << ", stage vectors " << static_cast<int>(vectors)
                                          << ": right, block of " << size << ", sample " << i;
        }
    }
}

} // namespace

TEST(PreampBlocks, BlocksMatchThePerSampleChainBitForBit)
{
    for (bool highQ : {false, true})
        for (auto vectors : {amp::StageVectors::None, amp::StageVectors::Avx, amp::StageVectors::Avx512}) {
            if (vectors > amp::AmpPath::widestStageVectors()) continue;
            compareWithPerSample(highQ, vectors);
        }
}

TEST(PreampBlocks, InPlaceBuffersGiveTheSameOutput)
{
    // Hosts may hand the same buffers in and out; a block longer than one run of the chain shows whether an
    // output is written before its run's inputs are all read.
    PreampChain a, b;
    for (PreampChain* c : {&a, &b}) {
        c->requestSetup(44100.0f);
        c->adoptPending(false);
    }
    const int n = 300;
    std::vector<float> inL(n), inR(n);
    for (int i = 0; i < n; ++i) {
        inL[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * std::sin(0.05 * i));
        inR[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * std::cos(0.03 * i));
    }
    const std::vector<PreampFrame> frames(n, PreampFrame{{0, 1, 0, 0}, true, 0.7f});
    const amp::PreampControls controls{0.8, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
    std::vector<float> outL(n), outR(n);
    a.render(inL.data(), inR.data(), frames.data(), n, n - 1, controls, outL.data(), outR.data());
    b.render(inL.data(), inR.data(), frames.data(), n, n - 1, controls, inL.data(), inR.data());
    EXPECT_EQ(inL, outL);
    EXPECT_EQ(inR, outR);
}
