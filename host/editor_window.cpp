#include "host/editor_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/host_error.h"
#include "host/session.h"
#include "vst/aeffect.h"

namespace vsthost {

namespace {

// Turns one channel of a pixel into 8 bits, whatever its mask in the visual.
uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / max);
}

// vsthost is the host: a server that goes away ends the editing, not the process, so that the preset is still
// saved. Returning lets Xlib go on to the connection's exit handler below.
int keepGoingOnIOError(Display*) { return 0; }

void markLost(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

}  // namespace

bool displayAvailable() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

EditorWindow::EditorWindow(Plugin& plugin, const std::string& title) : plugin_(plugin) {
    if (!plugin.hasFlag(vst::effFlagsHasEditor)) throw HostError(plugin.path() + " has no editor");
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        throw HostError("cannot open the X display" + std::string(std::getenv("DISPLAY") ? "" : " (DISPLAY is not set)") +
                        "; run vsthost on a desktop or under xvfb-run");
    XSetIOErrorHandler(keepGoingOnIOError);
    XSetIOErrorExitHandler(display_, markLost, &serverLost_);
    // Hosts ask for the size before opening; a plug-in that only knows it afterwards gets a resize.
    vst::ERect* rect = nullptr;
    plugin.dispatch(vst::effEditGetRect, 0, 0, &rect);
    width_ = rect ? rect->right - rect->left : 0;
    height_ = rect ? rect->bottom - rect->top : 0;
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0,
                                  static_cast<unsigned>(width_ > 0 ? width_ : 1),
                                  static_cast<unsigned>(height_ > 0 ? height_ : 1), 0, BlackPixel(display_, screen),
                                  BlackPixel(display_, screen));
    XStoreName(display_, window_, title.c_str());
    Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    deleteAtom_ = deleteWindow;
    XSetWMProtocols(display_, window_, &deleteWindow, 1);
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    for (XEvent event;;) {
        XNextEvent(display_, &event);
        if (event.type == MapNotify && event.xmap.window == window_) break;
    }
    if (plugin.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(window_)) == 0) {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
        throw HostError("the plug-in did not open its editor (effEditOpen answered 0)");
    }
    editorOpen_ = true;
    rect = nullptr;
    plugin.dispatch(vst::effEditGetRect, 0, 0, &rect);
    if (rect && (rect->right - rect->left != width_ || rect->bottom - rect->top != height_) &&
        rect->right > rect->left && rect->bottom > rect->top) {
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
        XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    }
    // A fixed size: the editor does not follow a larger window.
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width_;
    hints.min_height = hints.max_height = height_;
    XSetWMNormalHints(display_, window_, &hints);
    XSync(display_, False);
}

EditorWindow::~EditorWindow() {
    if (editorOpen_) plugin_.dispatch(vst::effEditClose);
    if (!closedByUser_ && !serverLost_) XDestroyWindow(display_, window_);
    XCloseDisplay(display_);  // on a lost connection this only frees memory
}

bool EditorWindow::idle() {
    if (serverLost_) return false;
    plugin_.dispatch(vst::effEditIdle);
    while (!serverLost_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom_)
            closedByUser_ = true;
        if (event.type == DestroyNotify && event.xdestroywindow.window == window_) closedByUser_ = true;
    }
    if (serverLost_) {
        // The plug-in's editor lost its server too; it is told to close and the window is gone with the server.
        if (editorOpen_) plugin_.dispatch(vst::effEditClose);
        editorOpen_ = false;
        return false;
    }
    if (closedByUser_ && editorOpen_) {
        // Close the editor while its parent still exists.
        plugin_.dispatch(vst::effEditClose);
        editorOpen_ = false;
        XDestroyWindow(display_, window_);
        XSync(display_, False);
    }
    return !closedByUser_;
}

std::vector<uint32_t> EditorWindow::pixels() {
    if (serverLost_) throw HostError("the X server went away");
    if (closedByUser_ || width_ <= 0 || height_ <= 0) throw HostError("the editor window is closed");
    XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                              AllPlanes, ZPixmap);
    if (!image) throw HostError("cannot read the editor window's pixels");
    std::vector<uint32_t> result(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            result[static_cast<std::size_t>(y) * width_ + x] = (channel(p, image->red_mask) << 16) |
                                                                (channel(p, image->green_mask) << 8) |
                                                                channel(p, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return result;
}

void EditorWindow::savePng(const std::string& path) {
    const std::vector<uint32_t> data = pixels();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
    cairo_surface_flush(surface);
    unsigned char* bytes = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int32_t y = 0; y < height_; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(bytes + static_cast<std::ptrdiff_t>(y) * stride);
        for (int32_t x = 0; x < width_; ++x) row[x] = data[static_cast<std::size_t>(y) * width_ + x];
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw HostError("cannot write " + path + ": " + cairo_status_to_string(status));
}

std::unique_ptr<Plugin> loadForEditor(const Options& options, HostContext& host) {
    auto plugin = Plugin::load(options.plugin, host);
    startProcessing(*plugin, options.rate.value_or(44100.0), options.block);
    applyActions(*plugin, options.actions);
    return plugin;
}

void saveEditorSnapshot(Plugin& plugin, const std::string& path) {
    EditorWindow window(plugin, plugin.effectName());
    // Idle until two looks at the window in a row agree (drawing is done), for at most about two seconds.
    std::vector<uint32_t> previous;
    for (int round = 0; round < 100; ++round) {
        window.idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (round < 3) continue;
        std::vector<uint32_t> now = window.pixels();
        if (now == previous) break;
        previous = std::move(now);
    }
    window.savePng(path);
}

}  // namespace vsthost
