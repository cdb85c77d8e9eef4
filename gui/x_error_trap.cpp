#include "gui/x_error_trap.h"

#include <array>
#include <atomic>
#include <mutex>
#include <new>

struct XErrorTrapSlot {
    std::atomic<Display*> display{nullptr};
    std::atomic<unsigned> errors{0};
    std::atomic<bool> lost{false};
};

namespace {

// The registered connections, in blocks that are added as more editors open and are never given back
// while the code is loaded: a handler may walk them on any thread, without a lock, while another
// thread registers a connection.
struct SlotBlock {
    std::array<XErrorTrapSlot, 32> slots;
    std::atomic<SlotBlock*> next{nullptr};
    ~SlotBlock() { delete next.load(); }
};

SlotBlock firstBlock;
std::mutex registering;
int registeredCount = 0;
std::atomic<XErrorHandler> previousErrorHandler{nullptr};
std::atomic<XIOErrorHandler> previousIOErrorHandler{nullptr};
// The connection whose error this thread is handing to a previous handler: a handler installed after
// ours that forwards to ours must not send the same error back and forth for ever.
thread_local Display* forwarding = nullptr;

XErrorTrapSlot* slotOf(Display* display) {
    for (SlotBlock* block = &firstBlock; block; block = block->next.load(std::memory_order_acquire))
        for (XErrorTrapSlot& slot : block->slots)
            if (slot.display.load(std::memory_order_acquire) == display) return &slot;
    return nullptr;
}

int onError(Display* display, XErrorEvent* error) {
    if (XErrorTrapSlot* slot = slotOf(display)) {
        slot->errors.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    XErrorHandler previous = previousErrorHandler.load(std::memory_order_acquire);
    if (!previous || forwarding == display) return 0;
    forwarding = display;
    const int result = previous(display, error);
    forwarding = nullptr;
    return result;
}

// Xlib calls this first and then the connection's exit handler: for our connections it only returns,
// quietly, so that onConnectionLost runs instead of the default's message and exit.
int onIOError(Display* display) {
    if (slotOf(display)) return 0;
    XIOErrorHandler previous = previousIOErrorHandler.load(std::memory_order_acquire);
    if (!previous || forwarding == display) return 0;
    forwarding = display;
    const int result = previous(display);
    forwarding = nullptr;
    return result;
}

// Returning from here leaves the process running; Xlib has flagged the connection and answers every
// later call on it without touching the socket.
void onConnectionLost(Display*, void* slot) {
    static_cast<XErrorTrapSlot*>(slot)->lost.store(true, std::memory_order_release);
}

XErrorTrapSlot* takeFreeSlot(Display* display) {
    for (SlotBlock* block = &firstBlock;; block = block->next.load(std::memory_order_acquire)) {
        for (XErrorTrapSlot& slot : block->slots) {
            if (slot.display.load(std::memory_order_relaxed) != nullptr) continue;
            slot.errors.store(0, std::memory_order_relaxed);
            slot.lost.store(false, std::memory_order_relaxed);
            slot.display.store(display, std::memory_order_release);
            return &slot;
        }
        if (!block->next.load(std::memory_order_relaxed)) {
            auto* added = new (std::nothrow) SlotBlock;
            if (!added) return nullptr;
            block->next.store(added, std::memory_order_release);
        }
    }
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) {
    if (!display) return;
    std::lock_guard<std::mutex> lock(registering);
    slot_ = takeFreeSlot(display);
    if (!slot_) return;
    XSetIOErrorExitHandler(display, onConnectionLost, slot_);
    if (registeredCount++ == 0) {
        previousErrorHandler.store(XSetErrorHandler(onError));
        previousIOErrorHandler.store(XSetIOErrorHandler(onIOError));
    }
}

XErrorTrap::~XErrorTrap() {
    if (!slot_) return;
    std::lock_guard<std::mutex> lock(registering);
    slot_->display.store(nullptr, std::memory_order_release);
    if (--registeredCount == 0) {
        // Someone installed a handler after ours: leave theirs in place (ours stays a harmless link).
        XErrorHandler error = XSetErrorHandler(previousErrorHandler.load());
        if (error != onError) XSetErrorHandler(error);
        XIOErrorHandler io = XSetIOErrorHandler(previousIOErrorHandler.load());
        if (io != onIOError) XSetIOErrorHandler(io);
    }
}

unsigned XErrorTrap::errors() const { return slot_ ? slot_->errors.load(std::memory_order_relaxed) : 0; }

bool XErrorTrap::lost() const { return slot_ && slot_->lost.load(std::memory_order_acquire); }
