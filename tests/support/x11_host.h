// The host's side of an editor test on a real X server (the tests run under xvfb-run): the window a
// host gives the editor, idle calls while xdotool moves the mouse, the pixels on screen, and a record
// of what the plug-in tells the host.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vst/aeffect.h"

extern char** environ;

namespace testing_support {

struct HostEvent {
    int32_t opcode;
    int32_t index;
    float value;
};

class HostRecord {
public:
    void add(HostEvent event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    std::vector<HostEvent> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<HostEvent> events_;
};

inline HostRecord& hostRecord() {
    static HostRecord record;
    return record;
}

// Answers the version and records automation and the edit brackets around it. Its file selector
// always answers "cancelled", so that a load button never waits for a dialog.
inline intptr_t editorHost(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float opt) {
    switch (opcode) {
    case vst::audioMasterVersion: return 2400;
    case vst::audioMasterCanDo: return ptr && std::strcmp(static_cast<const char*>(ptr), "openFileSelector") == 0;
    case vst::audioMasterAutomate:
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit: hostRecord().add({opcode, index, opt}); return 0;
    default: return 0;
    }
}

// A top-level window at the screen's origin, as a host's plug-in window, on the test's own connection.
class X11Parent {
public:
    X11Parent(int width, int height) : width_(width), height_(height) {
        // An X server resets when its last client leaves, and refuses connections meanwhile: one
        // connection stays open for the whole test run so that one test's end cannot fail the next.
        static Display* const keepServerUp = XOpenDisplay(nullptr);
        (void)keepServerUp;
        display_ = XOpenDisplay(nullptr);
        if (!display_) return;
        const int screen = DefaultScreen(display_);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                      BlackPixel(display_, screen));
        XSelectInput(display_, window_, StructureNotifyMask);
        XMapWindow(display_, window_);
        for (XEvent event;;) {
            XNextEvent(display_, &event);
            if (event.type == MapNotify) break;
        }
    }
    ~X11Parent() {
        if (!display_) return;
        if (window_) XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    X11Parent(const X11Parent&) = delete;
    X11Parent& operator=(const X11Parent&) = delete;

    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }
    ::Window window() const { return window_; }
    void* handle() const { return reinterpret_cast<void*>(window_); }
    void destroy() {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        window_ = 0;
    }

    // The window's pixels, 0x00RRGGBB, row by row (24-bit TrueColor, as Xvfb gives by default).
    std::vector<uint32_t> pixels() const {
        XSync(display_, False);
        XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                                  AllPlanes, ZPixmap);
        std::vector<uint32_t> result;
        if (!image) return result;
        result.reserve(static_cast<std::size_t>(width_ * height_));
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) result.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffffu);
        XDestroyImage(image);
        return result;
    }
    int width() const { return width_; }
    int height() const { return height_; }

    // Runs xdotool with these arguments (the window id goes where "%w" stands) while `idle` is called
    // every few milliseconds, as a host's editor thread would, and for a while after it ends. False when
    // xdotool could not run or failed.
    bool xdotool(std::vector<std::string> args, const std::function<void()>& idle) const {
        args.insert(args.begin(), "xdotool");
        for (std::string& a : args)
            if (a == "%w") a = std::to_string(window_);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return false;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        for (int i = 0; i < 20; ++i) {
            idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Presses the left button at (x, y) of the window, moves to (x + dx, y + dy) and releases there.
    bool drag(int x, int y, int dx, int dy, const std::function<void()>& idle, bool shift = false) const {
        std::vector<std::string> args = {"mousemove", "--window", "%w", std::to_string(x), std::to_string(y)};
        if (shift) args.insert(args.end(), {"keydown", "shift"});
        args.insert(args.end(), {"mousedown", "1", "mousemove", "--window", "%w", std::to_string(x + dx),
                                 std::to_string(y + dy), "mouseup", "1"});
        if (shift) args.insert(args.end(), {"keyup", "shift"});
        return xdotool(args, idle);
    }
    bool click(int x, int y, const std::function<void()>& idle) const {
        return xdotool({"mousemove", "--window", "%w", std::to_string(x), std::to_string(y), "click", "1"}, idle);
    }

private:
    Display* display_ = nullptr;
    ::Window window_ = 0;
    int width_;
    int height_;
};

}  // namespace testing_support
