#include "gui/frame_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "gui/xdnd.h"

namespace {

// Xlib reports errors (a parent window the host has already destroyed, a drag source that went away)
// to one process-wide handler whose default ends the process. While an editor window exists, errors on
// its own connection are counted here instead; errors on any other connection go to the handler that
// was installed before, so the host's own error handling is unchanged.
constexpr std::size_t kMaxTrapped = 64;
std::array<std::atomic<Display*>, kMaxTrapped> trappedDisplays{};
std::array<std::atomic<unsigned>, kMaxTrapped> trappedErrors{};
std::atomic<XErrorHandler> previousHandler{nullptr};
std::mutex installing;
int installedCount = 0;

int onXError(Display* display, XErrorEvent* error) {
    for (std::size_t i = 0; i < kMaxTrapped; ++i) {
        if (trappedDisplays[i].load(std::memory_order_acquire) == display) {
            trappedErrors[i].fetch_add(1, std::memory_order_relaxed);
            return 0;
        }
    }
    XErrorHandler previous = previousHandler.load(std::memory_order_acquire);
    return previous ? previous(display, error) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) {
        std::lock_guard<std::mutex> lock(installing);
        for (std::size_t i = 0; i < kMaxTrapped; ++i) {
            Display* empty = nullptr;
            if (trappedDisplays[i].compare_exchange_strong(empty, display)) {
                slot_ = static_cast<int>(i);
                trappedErrors[i].store(0);
                break;
            }
        }
        if (slot_ < 0) return;
        if (installedCount++ == 0) previousHandler.store(XSetErrorHandler(onXError));
    }
    ~ErrorTrap() {
        if (slot_ < 0) return;
        std::lock_guard<std::mutex> lock(installing);
        trappedDisplays[static_cast<std::size_t>(slot_)].store(nullptr);
        if (--installedCount == 0) {
            XErrorHandler current = XSetErrorHandler(previousHandler.load());
            // Someone installed a handler after ours: leave theirs in place (ours stays a harmless link).
            if (current != onXError) XSetErrorHandler(current);
        }
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    bool active() const { return slot_ >= 0; }
    unsigned errors() const { return slot_ < 0 ? 0 : trappedErrors[static_cast<std::size_t>(slot_)].load(); }

private:
    int slot_ = -1;
};

int32_t modifiersOf(unsigned int state) {
    int32_t buttons = 0;
    if (state & ShiftMask) buttons |= kShift;
    if (state & ControlMask) buttons |= kControl;
    if (state & Mod1Mask) buttons |= kAlt;
    return buttons;
}

int32_t heldButtonsOf(unsigned int state) {
    int32_t buttons = modifiersOf(state);
    if (state & Button1Mask) buttons |= kLButton;
    if (state & Button2Mask) buttons |= kMButton;
    if (state & Button3Mask) buttons |= kRButton;
    return buttons;
}

int32_t buttonOf(unsigned int button) {
    switch (button) {
    case Button1: return kLButton;
    case Button2: return kMButton;
    case Button3: return kRButton;
    default: return 0;
    }
}

class X11Window final : public CFrame::Window {
public:
    X11Window(Display* display, std::unique_ptr<ErrorTrap> trap, ::Window window, Visual* visual, const CRect& size,
              CFrame& frame)
        : display_(display),
          trap_(std::move(trap)),
          window_(window),
          surface_(cairo_xlib_surface_create(display, window, visual, size.width(), size.height())),
          dnd_(display, window, frame),
          frame_(frame) {}

    ~X11Window() override {
        cairo_surface_destroy(surface_);
        if (copyCursor_) XFreeCursor(display_, copyCursor_);
        if (alive_) XDestroyWindow(display_, window_);
        XSync(display_, False);
        XCloseDisplay(display_);
    }

    unsigned long id() const override { return window_; }

    void pump() override {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
    }

    void show(cairo_surface_t* back, const std::vector<CRect>& areas) override {
        if (!alive_) return;
        cairo_t* cr = cairo_create(surface_);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, back, 0, 0);
        for (const CRect& area : areas) cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface_);
        // Wait until the server has drawn it: whoever looks at the window next sees the new pixels.
        XSync(display_, False);
    }

    void setCursor(CCursorType cursor) override {
        if (!alive_) return;
        if (cursor == CCursorType::Copy) {
            if (!copyCursor_) copyCursor_ = XCreateFontCursor(display_, XC_plus);
            XDefineCursor(display_, window_, copyCursor_);
        } else {
            XUndefineCursor(display_, window_);
        }
        XFlush(display_);
    }

private:
    void handle(const XEvent& event) {
        switch (event.type) {
        case Expose:
            frame_.invalidRect(CRect::fromSize(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                               event.xexpose.height));
            break;
        case ButtonPress: {
            const XButtonEvent& b = event.xbutton;
            const CPoint where{b.x, b.y};
            // Buttons 4 and 5 are the wheel, away from and towards the user.
            if (b.button == Button4 || b.button == Button5)
                frame_.onWheel(where, b.button == Button4 ? 1.0f : -1.0f, heldButtonsOf(b.state));
            else if (const int32_t button = buttonOf(b.button))
                frame_.onMouseDown(where, button | modifiersOf(b.state));
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& b = event.xbutton;
            if (const int32_t button = buttonOf(b.button)) frame_.onMouseUp({b.x, b.y}, button | modifiersOf(b.state));
            break;
        }
        case MotionNotify:
            frame_.onMouseMoved({event.xmotion.x, event.xmotion.y}, heldButtonsOf(event.xmotion.state));
            break;
        case DestroyNotify:
            // The host destroyed its window (and ours with it) before closing the editor.
            if (event.xdestroywindow.window == window_) alive_ = false;
            break;
        default:
            dnd_.handle(event);
            break;
        }
    }

    Display* display_;
    std::unique_ptr<ErrorTrap> trap_;  // outlives the connection: released after XCloseDisplay
    ::Window window_;
    cairo_surface_t* surface_;
    XdndTarget dnd_;
    CFrame& frame_;
    Cursor copyCursor_ = 0;
    bool alive_ = true;
};

}  // namespace

std::unique_ptr<CFrame::Window> CFrame::Window::open(void* parent, const CRect& size, CFrame& frame) {
    if (!parent || size.isEmpty()) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    auto trap = std::make_unique<ErrorTrap>(display);
    const auto parentWindow = static_cast<::Window>(reinterpret_cast<uintptr_t>(parent));
    XWindowAttributes parentAttributes{};
    ::Window window = 0;
    XWindowAttributes attributes{};
    bool ok = trap->active() && XGetWindowAttributes(display, parentWindow, &parentAttributes) != 0;
    if (ok) {
        XSetWindowAttributes set{};
        set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
        set.background_pixmap = None;
        // Same depth and visual as the host's window, so that any window the host gives us will do.
        window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(size.width()),
                               static_cast<unsigned>(size.height()), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWEventMask | CWBackPixmap, &set);
        XSync(display, False);
        ok = window != 0 && trap->errors() == 0 && XGetWindowAttributes(display, window, &attributes) != 0;
    }
    if (!ok) {
        if (window) XDestroyWindow(display, window);
        XSync(display, False);
        XCloseDisplay(display);
        return nullptr;
    }
    auto result = std::make_unique<X11Window>(display, std::move(trap), window, attributes.visual, size, frame);
    XMapWindow(display, window);
    XSync(display, False);
    return result;
}
