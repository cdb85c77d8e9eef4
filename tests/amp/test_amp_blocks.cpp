// The full-stack amp working in blocks against the same amp one sample at a time (reference_amp.h): for
// every quality, both ways of running the stages, block sizes from 1 up, and switches and drives that change
// in the middle of blocks, the outputs must be the same to the last bit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "amp/amp_design.h"
#include "amp/full_stack_amp.h"
#include "reference_amp.h"

using namespace amp;

namespace {

// Block sizes: every size up to 300 (all the ways a block splits into runs of 64, several times over), then
// sizes around the guard's table and a long block.
std::vector<int> blockSizes()
{
    std::vector<int> sizes;
    for (int b = 1; b <= 300; ++b) sizes.push_back(b);
    for (int b : {511, 1000, 2047, 2048, 2049, 4096}) sizes.push_back(b);
    return sizes;
}

// A guitar-like signal with loud bursts, so that grids conduct, limiters bend and the power amp saturates.
struct Signal {
    std::mt19937 gen{17};
    std::uniform_real_distribution<float> noise{-1.0f, 1.0f};
    long n = 0;
    float next()
    {
        const double t = static_cast<double>(n++) / 44100.0;
        const double burst = std::fmod(t, 0.05) < 0.01 ? 8.0 : 1.0;
        return static_cast<float>(burst * (0.3 * std::sin(2 * 3.141592653589793 * 196.0 * t) + 0.05 * noise(gen)));
    }
};

struct Config {
    double rate;
    bool highQ;
};

void compareWithPerSample(const Config& config, StageVectors vectors)
{
    FullStackAmp amp;
    amp.adopt(makeAmpDesign(config.rate, config.highQ));
    amp.runStagesOn(vectors);
    AmpPath refPath = amp.path();
    DcBlocker refDc = amp.dcBlocker();

    Signal signal;
    std::mt19937 gen(5);
    std::uniform_int_distribution<int> bit(0, 1), oneIn(0, 199);
    std::uniform_real_distribution<double> knob(0.0, 1.0);
    AmpSampleControls now{{0, 1, 0, 1}, driveTaper(0.7), driveTaper(0.4)};
    const auto sometimesChange = [&] {
        if (oneIn(gen) != 0) return;
        // Any one of the switches or drives, at any sample.
        switch (oneIn(gen) % 6) {
        case 0: now.switches.channel = bit(gen); break;
        case 1: now.switches.crunch = bit(gen); break;
        case 2: now.switches.boost = bit(gen); break;
        case 3: now.switches.bright = bit(gen); break;
        case 4: now.drive1Gain = driveTaper(knob(gen)); break;
        default: now.drive2Gain = driveTaper(knob(gen)); break;
        }
    };

    long at = 0;
    for (const int size : blockSizes()) {
        const AmpBlockParams params{0.3 + 0.7 * knob(gen), knob(gen), knob(gen), knob(gen), knob(gen), knob(gen)};
        std::vector<float> in(static_cast<std::size_t>(size));
        std::vector<AmpSampleControls> controls(in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            in[i] = signal.next();
            sometimesChange();
            controls[i] = now;
        }

        std::vector<double> block(in.size());
        amp.beginBlock(params);
        amp.process(in.data(), controls.data(), size, size - 1, block.data());

        const PreampControls pc{params.input, 0.0, 0.0, params.low, params.mid, params.high, params.contour};
        for (int i = 0; i < size; ++i) {
            const AmpSampleControls& c = controls[static_cast<std::size_t>(i)];
            const double expected =
                reference::fullStackSample(refPath, refDc, pc, amp.contourGain(), amp.powerAmpGain(), in[static_cast<std::size_t>(i)],
                                           size - 1 - i, c.switches, c.drive1Gain, c.drive2Gain);
            ASSERT_EQ(block[static_cast<std::size_t>(i)], expected)
                << "rate " << config.rate << (config.highQ ? " HighQ" : " LowQ") << ", stage vectors " << static_cast<int>(vectors)
                << ": block of " << size << ", sample " << i << " (" << at + i << " in all)";
        }
        at += size;
    }
    // The states carry on alike too.
    EXPECT_EQ(amp.path().stageCh2B.Vk, refPath.stageCh2B.Vk);
    EXPECT_EQ(amp.path().toneStack.s1, refPath.toneStack.s1);
    EXPECT_EQ(amp.dcBlocker().filter.y1, refDc.filter.y1);
    EXPECT_EQ(amp.path().decimator1.chains.y1, refPath.decimator1.chains.y1);
}

} // namespace

TEST(AmpBlocks, FullStackBlocksMatchThePerSampleAmpBitForBit)
{
    for (const Config config : {Config{44100, false}, Config{44100, true}, Config{96000, false}})
        for (StageVectors vectors : {StageVectors::None, StageVectors::Avx, StageVectors::Avx512}) {
            if (vectors > AmpPath::widestStageVectors()) continue;
            compareWithPerSample(config, vectors);
        }
}
