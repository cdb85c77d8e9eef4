// Lock-free triple buffer: one writer thread hands complete values to one reader thread. Neither
// side ever waits; the reader always gets the newest published value, never a half-written one.
#pragma once

#include <array>
#include <atomic>

namespace realtime {

template <class T>
class TripleBuffer {
public:
    // Writer: the slot to fill. After publish() it is a different, stale slot that must be written
    // in full before the next publish().
    T& back() noexcept { return slots_[back_]; }

    // Writer: makes the back slot the newest value and takes the spare slot as the new back.
    void publish() noexcept
    {
        back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex;
    }

    // Reader: if something was published since the last fetch, makes it front() and returns true.
    bool fetch() noexcept
    {
        if ((middle_.load(std::memory_order_relaxed) & kFresh) == 0) return false;
        front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
        return true;
    }

    // Reader: the value taken by the last successful fetch (a default T before any).
    const T& front() const noexcept { return slots_[front_]; }

    // Before the buffer is shared: every slot becomes a copy of `value` (e.g. buffers of the right size,
    // so that later writes into back() allocate nothing).
    void fill(const T& value)
    {
        for (T& slot : slots_) slot = value;
    }

private:
    static constexpr unsigned kIndex = 3u;
    static constexpr unsigned kFresh = 4u;

    // The shared index and each side's own index sit on separate cache lines.
    std::array<T, 3> slots_{};
    alignas(64) std::atomic<unsigned> middle_{1u};
    alignas(64) unsigned back_ = 0u;
    alignas(64) unsigned front_ = 2u;
};

}  // namespace realtime
