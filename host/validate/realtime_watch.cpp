#include "host/validate/realtime_watch.h"

#include <atomic>

namespace vsthost::watch {
namespace {

// Initial-exec: reading them from inside malloc must never need an allocation of its own.
__attribute__((tls_model("initial-exec"))) thread_local Tally* active = nullptr;
__attribute__((tls_model("initial-exec"))) thread_local int paused = 0;
std::atomic<bool> installed{false};

const char* const kNames[kKinds][2] = {{"allocation", "allocations"}, {"lock call", "lock calls"},
                                       {"system call", "system calls"}};

}  // namespace

void Tally::add(const Tally& other) {
    for (int k = 0; k < kKinds; ++k) {
        count[k] += other.count[k];
        if (!first[k]) first[k] = other.first[k];
    }
}

std::string Tally::describe() const {
    std::string text;
    for (int k = 0; k < kKinds; ++k) {
        if (count[k] == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(count[k]) + " " + kNames[k][count[k] == 1 ? 0 : 1] + " (first " +
                (first[k] ? first[k] : "?") + ")";
    }
    return text;
}

bool interposed() { return installed.load(std::memory_order_relaxed); }

Window::Window(Tally& tally) noexcept { active = &tally; }
Window::~Window() { active = nullptr; }

Pause::Pause() noexcept { ++paused; }
Pause::~Pause() { --paused; }

}  // namespace vsthost::watch

extern "C" void vsthost_watch_record(int kind, const char* function) {
    using namespace vsthost::watch;
    Tally* tally = active;
    if (!tally || paused > 0 || kind < 0 || kind >= kKinds) return;
    if (tally->count[kind]++ == 0) tally->first[kind] = function;
}

extern "C" void vsthost_watch_mark_interposed(void) { vsthost::watch::installed.store(true, std::memory_order_relaxed); }
