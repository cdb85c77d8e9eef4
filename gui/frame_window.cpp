#include "gui/frame_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gui/x_error_trap.h"
#include "gui/xdnd.h"

namespace {

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
    X11Window(Display* display, std::unique_ptr<XErrorTrap> trap, ::Window window, const XWindowAttributes& attributes,
              CFrame& frame)
        : display_(display),
          trap_(std::move(trap)),
          window_(window),
          visual_(attributes.visual),
          depth_(attributes.depth),
          gc_(XCreateGC(display, window, 0, nullptr)),
          dnd_(display, window, frame),
          frame_(frame) {}

    ~X11Window() override {
        // On a lost connection Xlib sends nothing: freeing the GC and closing only release memory and the
        // socket, and nothing else is asked of it.
        XFreeGC(display_, gc_);
        if (!lost()) {
            if (copyCursor_) XFreeCursor(display_, copyCursor_);
            if (alive_) XDestroyWindow(display_, window_);
            XSync(display_, False);
        }
        XCloseDisplay(display_);
    }

    unsigned long id() const override { return window_; }

    bool lost() const override { return trap_->lost(); }

    void pump() override {
        while (!lost() && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
    }

    void show(cairo_surface_t* back, const std::vector<CRect>& areas) override {
        if (!alive_ || lost()) return;
        const unsigned char* pixels = cairo_image_surface_get_data(back);
        const int stride = cairo_image_surface_get_stride(back);
        for (const CRect& area : areas) {
            if (lost()) return;
            if (area.isEmpty()) continue;
            XImage* image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                                         static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()), 32, 0);
            if (!image) continue;
            image->data = static_cast<char*>(std::calloc(static_cast<std::size_t>(image->bytes_per_line),
                                                         static_cast<std::size_t>(area.height())));
            if (!image->data) {
                XDestroyImage(image);
                continue;
            }
            for (CCoord y = 0; y < area.height(); ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(pixels + (area.top + y) * stride) + area.left;
                convertRow(row, image, y, area.width());
            }
            XPutImage(display_, window_, gc_, image, 0, 0, area.left, area.top, static_cast<unsigned>(area.width()),
                      static_cast<unsigned>(area.height()));
            XDestroyImage(image);  // frees the data as well
        }
        // Wait until the server has drawn it: whoever looks at the window next sees the new pixels.
        XSync(display_, False);
    }

    void setCursor(CCursorType cursor) override {
        if (!alive_ || lost()) return;
        if (cursor == CCursorType::Copy) {
            if (!copyCursor_) copyCursor_ = XCreateFontCursor(display_, XC_plus);
            XDefineCursor(display_, window_, copyCursor_);
        } else {
            XUndefineCursor(display_, window_);
        }
        XFlush(display_);
    }

private:
    // One row of back-buffer pixels (0x00RRGGBB) into the window's pixel format.
    static void convertRow(const uint32_t* row, XImage* image, CCoord y, CCoord width) {
        const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 &&
                            image->green_mask == 0xff00 && image->blue_mask == 0xff && image->byte_order == LSBFirst;
        if (direct) {
            // The common case (24- or 32-bit TrueColor): the same layout; an alpha byte, if any, opaque.
            auto* out = reinterpret_cast<uint32_t*>(image->data + y * image->bytes_per_line);
            for (CCoord x = 0; x < width; ++x) out[x] = row[x] | 0xff000000u;
            return;
        }
        for (CCoord x = 0; x < width; ++x)
            XPutPixel(image, x, y,
                      scaled(row[x] >> 16, image->red_mask) | scaled(row[x] >> 8, image->green_mask) |
                          scaled(row[x], image->blue_mask));
    }

    // An 8-bit channel value placed into a channel mask of any width and position.
    static unsigned long scaled(uint32_t value, unsigned long mask) {
        if (mask == 0) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long max = mask >> shift;
        return (((value & 0xffu) * max + 127) / 255) << shift;
    }

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
    std::unique_ptr<XErrorTrap> trap_;  // outlives the connection: released after XCloseDisplay
    ::Window window_;
    Visual* visual_;
    int depth_;
    GC gc_;
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
    auto trap = std::make_unique<XErrorTrap>(display);
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
    auto result = std::make_unique<X11Window>(display, std::move(trap), window, attributes, frame);
    XMapWindow(display, window);
    XSync(display, False);
    return result;
}
