// Editors on an X server of the test's own: the server goes away under an open editor, and many editors
// are open at once. The test is the host: it has its own connection and its own X error handlers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/tavik.h"
// Xlib's macros last: they clash with names in the effects' headers.
#include "support/private_xvfb.h"
#include "support/x11_host.h"

using namespace testing_support;

namespace {

std::vector<Display*> hostIOErrorDisplays;

int hostIOError(Display* display) {
    hostIOErrorDisplays.push_back(display);
    return 0;
}
// This host survives losing its own connection too.
void hostConnectionLost(Display*, void*) {}

// The host's side: its I/O error handler, its connection and a mapped top-level window for the editors.
struct Host {
    explicit Host(const PrivateXvfb& server) {
        setenv("DISPLAY", server.name().c_str(), 1);
        hostIOErrorDisplays.clear();
        XSetIOErrorHandler(hostIOError);
        display = XOpenDisplay(nullptr);
        if (!display) return;
        XSetIOErrorExitHandler(display, hostConnectionLost, nullptr);
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 800, 600, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
    }
    ~Host() {
        if (display) XCloseDisplay(display);
        XSetIOErrorHandler(nullptr);
    }
    void* handle() const { return reinterpret_cast<void*>(window); }

    Display* display = nullptr;
    ::Window window = 0;
};

// One block of a 0.1 sine: the peak of the left output.
float processBlock(vst::AEffect* e) {
    std::vector<float> in(256), left(256), right(256);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = 0.1f * std::sin(0.07f * static_cast<float>(i));
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {left.data(), right.data()};
    e->processReplacing(e, ins, outs, 256);
    return *std::max_element(left.begin(), left.end());
}

intptr_t call(vst::AEffect* e, int32_t opcode, void* ptr = nullptr) { return e->dispatcher(e, opcode, 0, 0, ptr, 0.0f); }

TEST(LostDisplay, TheServerGoingAwayClosesOnlyTheEditorAndAudioGoesOn) {
    PrivateXvfb server;
    ASSERT_TRUE(server.running()) << "Xvfb could not be started";
    Host host(server);
    ASSERT_NE(host.display, nullptr);
    auto effect = std::make_unique<tavik::Tavik>(editorHost);
    effect->setSampleRate(44100.0f);
    vst::AEffect* e = effect->getAeffect();
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_EQ(call(e, vst::effEditOpen, host.handle()), 1);
    call(e, vst::effEditIdle);
    for (int i = 0; i < 20; ++i) processBlock(e);
    const float before = processBlock(e);
    ASSERT_GT(before, 0.0f);

    server.stop();
    for (int i = 0; i < 5; ++i) {
        call(e, vst::effEditIdle);
        EXPECT_NEAR(processBlock(e), before, 0.5f * before) << "idle " << i;
    }
    EXPECT_FALSE(effect->getEditor()->isOpen()) << "the editor closed itself";
    call(e, vst::effEditClose);
    EXPECT_EQ(call(e, vst::effEditOpen, host.handle()), 0) << "no server to open on";
    call(e, vst::effEditIdle);
    EXPECT_NEAR(processBlock(e), before, 0.5f * before);
    effect.reset();

    EXPECT_TRUE(hostIOErrorDisplays.empty()) << "the host's handler is not called for the plug-in's connection";
    EXPECT_EQ(XSetIOErrorHandler(hostIOError), hostIOError) << "the host's handler is in place again";
}

TEST(LostDisplay, SeventyEditorsOpenAtOnce) {
    PrivateXvfb server;
    ASSERT_TRUE(server.running()) << "Xvfb could not be started";
    Host host(server);
    ASSERT_NE(host.display, nullptr);
    std::vector<std::unique_ptr<tavik_preamp::Tavik>> effects;
    int opened = 0;
    for (int i = 0; i < 70; ++i) {
        effects.push_back(std::make_unique<tavik_preamp::Tavik>(editorHost));
        vst::AEffect* e = effects.back()->getAeffect();
        if (call(e, vst::effEditOpen, host.handle()) == 1) ++opened;
        else ADD_FAILURE() << "editor " << i + 1 << " did not open";
        call(e, vst::effEditIdle);
    }
    EXPECT_EQ(opened, 70);
    for (auto& effect : effects) call(effect->getAeffect(), vst::effEditClose);
}

}  // namespace
