// The triple buffer between a writer thread and the audio thread; also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "realtime/triple_buffer.h"

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

