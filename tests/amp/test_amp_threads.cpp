#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>

#include "amp/amp_design.h"
#include "realtime/triple_buffer.h"
#include "amp/full_stack_amp.h"

using namespace amp;
using realtime::TripleBuffer;

TEST(TripleBuffer, QualityChangesReachTheAudioThreadWhole)
{
    // A UI thread flips LowQ/HighQ and publishes complete designs; the audio thread adopts the newest
    // at the top of each block and must always run with a factor and rate that belong together.
    TripleBuffer<AmpDesign> designs;
    std::atomic<bool> stop{false};
    std::atomic<int> published{0};

    std::thread ui([&] {
        bool highQ = false;
        while (!stop.load(std::memory_order_relaxed)) {
            highQ = !highQ;
            designs.back() = makeAmpDesign(44100, highQ);
            designs.publish();
            published.fetch_add(1, std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    FullStackAmp amp;
    AmpSampleControls crunch[64];
    for (AmpSampleControls& c : crunch) c = {{0, 1, 0, 0}, 0.5, 0.5};
    float x[64];
    double y[64];
    int adopted = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    for (int block = 0; std::chrono::steady_clock::now() < deadline; ++block) {
        if (designs.fetch()) {
            amp.adopt(designs.front());
            ++adopted;
        }
        ASSERT_EQ(amp.oversampledRate(), 44100.0 * amp.factor());
        amp.beginBlock({0.7, 0.5, 0.5, 0.5, 0.5, 0.5});
        for (int i = 0; i < 64; ++i) x[i] = static_cast<float>(0.2 * std::sin((block * 64 + i) * 0.0157));
        amp.process(x, crunch, 64, 63, y);
        for (int i = 0; i < 64; ++i) ASSERT_TRUE(std::isfinite(y[i])) << i;
    }
    stop = true;
    ui.join();
    EXPECT_GT(adopted, 2);
    EXPECT_LE(adopted, published.load());
}
