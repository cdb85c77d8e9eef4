// Who holds the audio side of an effect: the audio thread for the length of one process call, or another
// thread that applies a change directly while no audio runs. The audio thread only ever tries and never
// waits (it plays silence for a block it cannot take); only threads that may wait call enter().
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace realtime {

class AudioGuard {
public:
    bool tryEnter() noexcept { return !busy_.exchange(true, std::memory_order_acquire); }

    // Not for the audio thread: waits (sleeping) until the holder leaves, at most one block.
    void enter() noexcept
    {
        while (!tryEnter()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }

    void leave() noexcept { busy_.store(false, std::memory_order_release); }

    // Holds the guard for a scope; `held()` says whether the try succeeded.
    class Try {
    public:
        explicit Try(AudioGuard& guard) noexcept : guard_(guard), held_(guard.tryEnter()) {}
        ~Try()
        {
            if (held_) guard_.leave();
        }
        Try(const Try&) = delete;
        Try& operator=(const Try&) = delete;
        bool held() const noexcept { return held_; }

    private:
        AudioGuard& guard_;
        bool held_;
    };

    class Hold {
    public:
        explicit Hold(AudioGuard& guard) noexcept : guard_(guard) { guard_.enter(); }
        ~Hold() { guard_.leave(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        AudioGuard& guard_;
    };

private:
    std::atomic<bool> busy_{false};
};

}  // namespace realtime
