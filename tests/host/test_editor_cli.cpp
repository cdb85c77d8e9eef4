// vsthost snapshot and edit as a user runs them, on a real X server (xvfb-run).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <cairo.h>
#include <spawn.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/host_callback.h"
#include "host/plugin.h"
#include "host/presets.h"
#include "run_vsthost.h"
#include "support/private_xvfb.h"

extern char** environ;

namespace {

struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Png readPng(const std::string& path) {
    Png png;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        png.width = cairo_image_surface_get_width(s);
        png.height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x)
                png.pixels.push_back(
                    reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] & 0xffffffu);
    }
    cairo_surface_destroy(s);
    return png;
}

std::size_t differing(const Png& a, const Png& b, int left, int top, int right, int bottom) {
    std::size_t count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) count += a.at(x, y) != b.at(x, y);
    return count;
}

TEST(EditorCli, SnapshotsShowEachPanelWithTheValuesSet) {
    TempDir dir;
    ASSERT_EQ(runVsthost({"snapshot", FULLSTACK_PATH, dir / "low.png", "--set", "0=0"}, dir).status, 0);
    ASSERT_EQ(runVsthost({"snapshot", FULLSTACK_PATH, dir / "high.png", "--set", "0=1"}, dir).status, 0);
    const Png low = readPng(dir / "low.png");
    const Png high = readPng(dir / "high.png");
    ASSERT_EQ(low.width, 660);
    ASSERT_EQ(low.height, 417);
    // Only the Input knob (33, 164, 56 x 56) differs.
    EXPECT_GT(differing(low, high, 33, 164, 89, 220), 50u);
    EXPECT_EQ(differing(low, high, 0, 0, 660, 164), 0u);
    EXPECT_EQ(differing(low, high, 89, 0, 660, 417), 0u);

    const RunResult preamp = runVsthost({"snapshot", PREAMP_PATH, dir / "pre.png"}, dir);
    ASSERT_EQ(preamp.status, 0) << preamp.err;
    EXPECT_NE(preamp.out.find("pre.png"), std::string::npos);
    const Png pre = readPng(dir / "pre.png");
    EXPECT_EQ(pre.width, 660);
    EXPECT_EQ(pre.height, 175);
}

TEST(EditorCli, SnapshotRefusalsAreOneLine) {
    TempDir dir;
    const RunResult noEditor = runVsthost({"snapshot", FAKE_PLUGIN_PATH, dir / "x.png"}, dir);
    EXPECT_NE(noEditor.status, 0);
    EXPECT_NE(noEditor.err.find("has no editor"), std::string::npos) << noEditor.err;
    const RunResult notPng = runVsthost({"snapshot", FULLSTACK_PATH, dir / "x.jpg"}, dir);
    EXPECT_EQ(notPng.status, 2);
    EXPECT_NE(notPng.err.find(".png"), std::string::npos) << notPng.err;
    const std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    const RunResult noDisplay = runVsthost({"snapshot", FULLSTACK_PATH, dir / "x.png"}, dir);
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_NE(noDisplay.status, 0);
    EXPECT_EQ(noDisplay.errLines(), 1) << noDisplay.err;
    EXPECT_NE(noDisplay.err.find("X display"), std::string::npos) << noDisplay.err;
}

// The window of a running vsthost edit, found by its title.
::Window findWindow(Display* display, const std::string& title) {
    ::Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned int count = 0;
    ::Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                if (title == name) found = children[i];
                XFree(name);
            }
        }
        if (children) XFree(children);
    }
    return found;
}

TEST(EditorCli, EditShapesASoundByHandAndSavesItWhenTheWindowCloses) {
    TempDir dir;
    const std::string preset = dir / "hand.fxp";
    std::vector<std::string> args = {VSTHOST_PATH, "edit", FULLSTACK_PATH, "--set", "2=1", "--save", preset, "--quiet"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VSTHOST_PATH, nullptr, nullptr, argv.data(), environ), 0);

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    ::Window window = 0;
    for (int i = 0; i < 500 && !window; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        window = findWindow(display, "Tavik_FullStack_v1_04 - vsthost");
    }
    ASSERT_NE(window, 0u) << "vsthost edit opened no window";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Drive1 (Crunch is on) up by 50 pixels: a quarter of its travel.
    const std::string id = std::to_string(window);
    const std::string drag = "xdotool mousemove --window " + id + " 227 192 mousedown 1 mousemove --window " + id +
                             " 227 142 mouseup 1";
    ASSERT_EQ(std::system(drag.c_str()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // Closed as a window manager closes it.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
    int status = 0;
    waitpid(pid, &status, 0);
    XCloseDisplay(display);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "vsthost edit ended with " << status;

    vsthost::HostContext host;
    auto plugin = vsthost::Plugin::load(FULLSTACK_PATH, host);
    vsthost::fx::load(*plugin, preset);
    EXPECT_NEAR(plugin->parameter(5), 0.75f, 1e-4f) << "the dragged Drive1 is in the saved preset";
    EXPECT_FLOAT_EQ(plugin->parameter(2), 1.0f);
}

TEST(EditorCli, EditSavesThePresetWhenTheXServerGoesAway) {
    testing_support::PrivateXvfb server;
    ASSERT_TRUE(server.running());
    TempDir dir;
    const std::string preset = dir / "kept.fxp";
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", server.name().c_str(), 1);
    std::thread killer([&] {
        Display* x = XOpenDisplay(server.name().c_str());
        for (int i = 0; x && i < 500 && !findWindow(x, "Tavik_FullStack_v1_04 - vsthost"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (x) XCloseDisplay(x);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.stop();
    });
    const RunResult r = runVsthost({"edit", FULLSTACK_PATH, "--set", "2=1", "--save", preset}, dir, 20);
    killer.join();
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("vsthost: the X server went away; the preset was saved to " + preset), std::string::npos) << r.err;
    vsthost::HostContext host;
    auto plugin = vsthost::Plugin::load(FULLSTACK_PATH, host);
    vsthost::fx::load(*plugin, preset);
    EXPECT_FLOAT_EQ(plugin->parameter(2), 1.0f);
}

}  // namespace
