// The audio side of an effect: who may run the DSP blocks now, and whether audio has started. Until the
// host first resumes or processes, no audio thread exists to take a change at the top of a block, so the
// thread making it takes it at once; from then on only the audio thread does (see realtime/realtime.h).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

#include "realtime/audio_guard.h"

namespace effect {

class AudioSide {
public:
    // One process call's hold on the audio side. `runs()` is false when the call has nothing to work on (no
    // frames or buffers: nothing written), when another thread holds the side or when `adopt` says the DSP is
    // not ready (both: silence written, without waiting). Adopt: bool() noexcept, the effect's adoptPending.
    class Block {
    public:
        template <class Adopt>
        Block(AudioSide& side, float** inputs, float** outputs, int32_t frames, Adopt&& adopt) noexcept
            : guard_(side.guard_)
        {
            if (frames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;
            side.markAudioThread();
            held_ = guard_.tryEnter();
            if (held_ && adopt()) {
                runs_ = true;
                return;
            }
            std::fill(outputs[0], outputs[0] + frames, 0.0f);
            std::fill(outputs[1], outputs[1] + frames, 0.0f);
        }
        ~Block()
        {
            if (held_) guard_.leave();
        }
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        bool runs() const noexcept { return runs_; }

    private:
        realtime::AudioGuard& guard_;
        bool held_ = false;
        bool runs_ = false;
    };

    // The host resumes: audio may run from now on.
    void started() noexcept { started_.store(true, std::memory_order_relaxed); }

    // Before audio has run, takes the audio side and calls adopt() now; afterwards changes wait for the top of
    // a block, whether or not the host says it is suspended (hosts go on processing between suspend and
    // resume, and taking the audio side here would silence a block).
    template <class Adopt>
    void adoptBeforeAudio(Adopt&& adopt) noexcept
    {
        if (started_.load(std::memory_order_relaxed)) return;
        realtime::AudioGuard::Try side(guard_);
        if (side.held()) adopt();
    }

    // Whether the calling thread ran the last process call.
    bool onAudioThread() const noexcept
    {
        return std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed);
    }

    // A thread that replaces what the audio path works in holds the side meanwhile; the audio thread plays
    // silence for a block that would start then.
    realtime::AudioGuard& guard() noexcept { return guard_; }

private:
    void markAudioThread() noexcept
    {
        const std::thread::id self = std::this_thread::get_id();
        if (audioThread_.load(std::memory_order_relaxed) != self) audioThread_.store(self, std::memory_order_relaxed);
        if (!started_.load(std::memory_order_relaxed)) started_.store(true, std::memory_order_relaxed);
    }

    realtime::AudioGuard guard_;
    std::atomic<bool> started_{false};
    // The thread that ran the last block.
    std::atomic<std::thread::id> audioThread_{};
};

}  // namespace effect
