// Counts what a plug-in does on the calling thread while the host is inside one of its calls:
// allocations, locks and system calls. The counting functions are interposed in the vsthost
// executable (interpose.c); programs built without them (sanitizer builds, the test programs) count
// nothing, and interposed() says so.
#pragma once

#include <cstdint>
#include <string>

namespace vsthost::watch {

enum Kind : int { kAllocation = 0, kLock = 1, kSystemCall = 2, kKinds = 3 };

struct Tally {
    uint64_t count[kKinds] = {};
    const char* first[kKinds] = {};  // the first function of each kind that was called
    bool empty() const { return count[kAllocation] + count[kLock] + count[kSystemCall] == 0; }
    void add(const Tally& other);
    // "2 allocations (first malloc), 1 lock (pthread_mutex_lock)"; empty when nothing was counted.
    std::string describe() const;
};

bool interposed();

// Counts into `tally` on this thread for the lifetime of the scope. Windows do not nest.
class Window {
public:
    explicit Window(Tally& tally) noexcept;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

// The host's own work inside a window (its callback answering the plug-in) is not the plug-in's.
class Pause {
public:
    Pause() noexcept;
    ~Pause();
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;
};

}  // namespace vsthost::watch

// What the interposed functions call; plain C so that interpose.c can.
extern "C" {
void vsthost_watch_record(int kind, const char* function);
void vsthost_watch_mark_interposed(void);
}
