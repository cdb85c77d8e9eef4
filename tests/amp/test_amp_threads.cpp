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

namespace {

struct Stamp {
    std::uint64_t sequence = 0;
    std::array<std::uint64_t, 61> copies{}; // every copy equals sequence in a whole value
};

} // namespace

TEST(TripleBuffer, ReaderSeesOnlyWholeValuesInPublishingOrder)
{
    TripleBuffer<Stamp> buffer;
    std::atomic<bool> stop{false};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);

    std::thread writer([&] {
        for (std::uint64_t seq = 1; !stop.load(std::memory_order_relaxed); ++seq) {
            Stamp& s = buffer.back();
            s.sequence = seq;
            s.copies.fill(seq);
            buffer.publish();
        }
    });

    std::uint64_t last = 0, fetched = 0, torn = 0, backwards = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!buffer.fetch()) continue;
        const Stamp& s = buffer.front();
        for (std::uint64_t c : s.copies)
            if (c != s.sequence) ++torn;
        if (s.sequence <= last) ++backwards;
        last = s.sequence;
        ++fetched;
    }
    stop = true;
    writer.join();

    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(backwards, 0u);
    EXPECT_GT(fetched, 10u);
    // With nothing new published, fetch says so and front() stays put.
    if (buffer.fetch()) last = buffer.front().sequence;
    EXPECT_FALSE(buffer.fetch());
    EXPECT_EQ(buffer.front().sequence, last);
}

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
