// The full-stack editor in a real X11 window (xvfb-run), driven through the effect's dispatcher as a
// host drives it, with xdotool moving the mouse.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "editor/editor_layout.h"
#include "editor/label.h"
#include "editor/sd_editor.h"
#include "gui/anim_knob.h"
#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "resources/art.h"
#include "shell/tavik.h"
#include "support/x11_host.h"

using namespace testing_support;

namespace {

constexpr int kWidth = tavik::kEditorWidth;
constexpr int kHeight = tavik::kEditorHeight;

CPoint centreOf(int32_t tag) {
    for (const CControlRow& row : tavik::kEditorControls)
        if (row.tag == tag) return {row.left + 28, row.top + 28};
    return {};
}

class FullStackEditor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(parent.ok()) << "no X display: run under xvfb-run";
        hostRecord().clear();
        effect = std::make_unique<tavik::Tavik>(editorHost);
        effect->setSampleRate(44100.0f);
        e = effect->getAeffect();
        editor = dynamic_cast<tavik::SDEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }

    intptr_t call(int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
        return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
    }
    bool open() { return call(vst::effEditOpen, 0, parent.handle()) == 1; }
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) call(vst::effEditIdle);
    }
    std::function<void()> idler() {
        return [this] { idle(); };
    }
    float shown(int32_t tag) { return editor->control(tag)->getValue(); }
    std::vector<HostEvent> eventsFor(int32_t tag) {
        std::vector<HostEvent> result;
        for (const HostEvent& event : hostRecord().events())
            if (event.index == tag) result.push_back(event);
        return result;
    }
    // The drag's host calls: BeginEdit first, EndEdit last, automation between; returns the last value.
    float checkBracketed(int32_t tag) {
        const std::vector<HostEvent> events = eventsFor(tag);
        EXPECT_GE(events.size(), 3u) << "tag " << tag;
        if (events.size() < 3) return -1.0f;
        EXPECT_EQ(events.front().opcode, vst::audioMasterBeginEdit);
        EXPECT_EQ(events.back().opcode, vst::audioMasterEndEdit);
        for (std::size_t i = 1; i + 1 < events.size(); ++i) EXPECT_EQ(events[i].opcode, vst::audioMasterAutomate);
        return events[events.size() - 2].value;
    }

    X11Parent parent{kWidth, kHeight};
    std::unique_ptr<tavik::Tavik> effect;
    vst::AEffect* e = nullptr;
    tavik::SDEditor* editor = nullptr;
};

TEST_F(FullStackEditor, RectIsTheBackgroundsBeforeAndAfterOpenAndControlsFollowTheLayout) {
    EXPECT_TRUE(e->flags & vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(call(vst::effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->right, kWidth);
    EXPECT_EQ(rect->bottom, kHeight);
    ASSERT_TRUE(open());
    ASSERT_EQ(call(vst::effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, kWidth);
    EXPECT_EQ(rect->bottom, kHeight);

    CFrame* frame = editor->getFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->getNbViews(), 35) << "33 controls and two labels";
    std::size_t knobs = 0;
    for (int32_t i = 0; i < 33; ++i) {
        const CControlRow& row = tavik::kEditorControls[i];
        auto* control = dynamic_cast<CControl*>(frame->getView(i));
        ASSERT_NE(control, nullptr) << "view " << i;
        EXPECT_EQ(control->getTag(), row.tag) << "creation order, view " << i;
        EXPECT_EQ(control->getViewSize().left, row.left) << row.tag;
        EXPECT_EQ(control->getViewSize().top, row.top) << row.tag;
        EXPECT_FLOAT_EQ(control->getValue(), effect->getParameter(row.tag)) << row.tag;
        if (auto* knob = dynamic_cast<CAnimKnob*>(control)) {
            ++knobs;
            EXPECT_EQ(knob->getNumSubPixmaps(), 63);
            EXPECT_EQ(control->getViewSize(), CRect::fromSize(row.left, row.top, 56, 56)) << row.tag;
        }
    }
    EXPECT_EQ(knobs, 19u);
    EXPECT_EQ(editor->control(13), nullptr) << "index 13 has no control";
    // One frame of each switch bitmap.
    EXPECT_EQ(editor->control(1)->getViewSize(), CRect::fromSize(77, 162, 35, 60));
    EXPECT_EQ(editor->control(4)->getViewSize(), CRect::fromSize(312, 186, 8, 8));
    EXPECT_EQ(editor->control(2)->getViewSize(), CRect::fromSize(144, 164, 12, 27));
    EXPECT_EQ(editor->control(15)->getViewSize(), CRect::fromSize(270, 299, 18, 19));
    EXPECT_EQ(editor->control(21)->getViewSize(), CRect::fromSize(62, 292, 53, 40));
    EXPECT_EQ(editor->control(27)->getViewSize(), CRect::fromSize(26, 290, 56, 37));
    EXPECT_EQ(editor->control(32)->getViewSize(), CRect::fromSize(143, 270, 50, 27));

    call(vst::effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->control(0), nullptr);
    ASSERT_EQ(call(vst::effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, kWidth);
}

TEST_F(FullStackEditor, LabelsNameTheImpulseResponsesAndDropsOnlyChangeTheirText) {
    ASSERT_TRUE(open());
    for (int c = 0; c < 2; ++c) {
        ASSERT_NE(editor->irLabel(c), nullptr) << "the open sequence creates both labels";
        EXPECT_EQ(editor->irLabel(c)->getViewSize(), tavik::kIrLabelRect[c]);
        EXPECT_EQ(editor->irLabel(c)->getFont(), kNormalFontSmaller);
        EXPECT_EQ(editor->irLabel(c)->getFontColor(), kWhiteCColor);
        EXPECT_EQ(editor->irLabel(c)->getBackColor(), kBlackCColor);
    }
    EXPECT_STREQ(editor->irLabel(0)->getText(), "Tavik_IR_Center(Alu)");
    EXPECT_STREQ(editor->irLabel(1)->getText(), "Tavik_IR_Edge(Alu)");
    effect->setParameter(tavik::kIrSource2, 1.0f);
    idle();
    EXPECT_STREQ(editor->irLabel(1)->getText(), "Empty") << "external source with nothing loaded";
    effect->setParameter(tavik::kIrSource2, 0.0f);
    idle();
    EXPECT_STREQ(editor->irLabel(1)->getText(), "Tavik_IR_Edge(Alu)");
}

// Closed, the editor is left alone; opened, it reads every value fresh.
TEST_F(FullStackEditor, ChangesWhileClosedShowAtTheNextOpen) {
    ASSERT_TRUE(open());
    call(vst::effEditClose);
    effect->setParameter(tavik::kVolume, 0.3f);
    effect->setParameter(tavik::kStereoLink, 1.0f);
    idle();
    ASSERT_TRUE(open());
    EXPECT_FLOAT_EQ(shown(tavik::kVolume), 0.3f);
    EXPECT_FLOAT_EQ(shown(tavik::kStereoLink), 1.0f);
    // And while open, the effect's changes (from any thread) reach the control at the next idle.
    std::thread automation([&] { effect->setParameter(tavik::kMid, 0.8f); });
    automation.join();
    EXPECT_FLOAT_EQ(shown(tavik::kMid), 0.5f) << "nothing changes before the idle call";
    idle();
    EXPECT_FLOAT_EQ(shown(tavik::kMid), 0.8f);
}

TEST_F(FullStackEditor, DraggingDrive1InCrunchSetsItAndTellsTheHost) {
    effect->setParameter(tavik::kCleanCrunch, 1.0f);
    ASSERT_TRUE(open());
    const CPoint knob = centreOf(tavik::kDrive1);
    ASSERT_TRUE(parent.drag(knob.x, knob.y, 0, -50, idler()));
    // 50 pixels up is a quarter of the knob's travel.
    EXPECT_NEAR(effect->getParameter(tavik::kDrive1), 0.75f, 1e-4f);
    EXPECT_NEAR(shown(tavik::kDrive1), 0.75f, 1e-4f);
    EXPECT_NEAR(checkBracketed(tavik::kDrive1), 0.75f, 1e-4f);
}

TEST_F(FullStackEditor, Drive1InCleanSnapsBackWhileTheHostHearsTheDraggedValue) {
    ASSERT_TRUE(open());
    idle();
    const std::vector<uint32_t> before = parent.pixels();
    const CPoint knob = centreOf(tavik::kDrive1);
    ASSERT_TRUE(parent.drag(knob.x, knob.y, 0, -80, idler()));
    EXPECT_FLOAT_EQ(effect->getParameter(tavik::kDrive1), 0.5f);
    EXPECT_FLOAT_EQ(shown(tavik::kDrive1), 0.5f);
    EXPECT_NEAR(checkBracketed(tavik::kDrive1), 0.9f, 1e-4f) << "the host is told the control's value";
    EXPECT_EQ(parent.pixels(), before) << "the knob is drawn at 0.5 again";
}

TEST_F(FullStackEditor, ClickingChannelRecallsTheOtherChannelsKnobs) {
    effect->setParameter(tavik::kChannel, 1.0f);
    effect->setParameter(tavik::kInput, 0.9f);
    effect->setParameter(tavik::kLow, 0.1f);
    effect->setParameter(tavik::kBoost, 1.0f);
    effect->setParameter(tavik::kBright, 1.0f);
    effect->setParameter(tavik::kChannel, 0.0f);
    ASSERT_TRUE(open());
    EXPECT_FLOAT_EQ(shown(tavik::kInput), 0.5f);
    // The lower half of the switch is position 1, Overdrive.
    const CPoint channel = centreOf(tavik::kChannel);
    ASSERT_TRUE(parent.click(channel.x - 10, channel.y + 18, idler()));
    EXPECT_FLOAT_EQ(effect->getParameter(tavik::kChannel), 1.0f);
    EXPECT_FLOAT_EQ(shown(tavik::kChannel), 1.0f);
    EXPECT_FLOAT_EQ(shown(tavik::kInput), 0.9f);
    EXPECT_FLOAT_EQ(shown(tavik::kLow), 0.1f);
    EXPECT_FLOAT_EQ(shown(tavik::kBoost), 1.0f);
    EXPECT_FLOAT_EQ(shown(tavik::kBright), 1.0f);
}

TEST_F(FullStackEditor, WithTheStereoLinkVolume1MovesVolume2) {
    effect->setParameter(tavik::kStereoLink, 1.0f);
    ASSERT_TRUE(open());
    const CPoint knob = centreOf(tavik::kVolume1);
    ASSERT_TRUE(parent.drag(knob.x, knob.y, 0, 40, idler()));
    EXPECT_NEAR(shown(tavik::kVolume1), 0.3f, 1e-4f);
    EXPECT_NEAR(shown(tavik::kVolume2), 0.7f, 1e-4f) << "the mirror position";
}

TEST_F(FullStackEditor, CircularKnobModeStillDragsInAStraightLine) {
    effect->setParameter(tavik::kCleanCrunch, 1.0f);
    ASSERT_TRUE(open());
    EXPECT_EQ(e->dispatcher(e, vst::effSetEditKnobMode, 0, kCircularMode, nullptr, 0.0f), 1);
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);
    const CPoint knob = centreOf(tavik::kInput);
    // Down the knob's left side: in circular mode that would turn it up, in linear mode it turns down.
    ASSERT_TRUE(parent.drag(knob.x - 18, knob.y, 0, 20, idler()));
    EXPECT_NEAR(effect->getParameter(tavik::kInput), 0.4f, 1e-4f);
    // Shift makes it ten times finer; the wheel moves one frame.
    ASSERT_TRUE(parent.drag(knob.x, knob.y, 0, -20, idler(), true));
    EXPECT_NEAR(effect->getParameter(tavik::kInput), 0.41f, 1e-4f);
    ASSERT_TRUE(parent.xdotool({"mousemove", "--window", "%w", std::to_string(knob.x), std::to_string(knob.y),
                                "click", "4"},
                               idler()));
    EXPECT_NEAR(effect->getParameter(tavik::kInput), 0.41f + 1.0f / 62.0f, 1e-4f);
}

TEST_F(FullStackEditor, PressingLoadSendsOneThenZero) {
    ASSERT_TRUE(open());
    const CPoint load{62 + 26, 292 + 12};
    ASSERT_TRUE(parent.click(load.x, load.y, idler()));
    const std::vector<HostEvent> events = eventsFor(tavik::kLoadIr1);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(events[1].value, 1.0f);
    EXPECT_EQ(events[2].value, 0.0f);
    EXPECT_EQ(events[3].opcode, vst::audioMasterEndEdit);
    // No file selector answered: nothing was loaded.
    EXPECT_EQ(effect->irName(0), "Empty");
}

// ---- What is on the screen ---------------------------------------------------------------------------

std::vector<uint32_t> backgroundPixels() {
    CBitmap background(fullStackArt(), 128);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    CDrawContext context(cr);
    context.drawBitmap(background, CRect(0, 0, kWidth, kHeight), CPoint{});
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<uint32_t> pixels;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xffffffu);
    cairo_surface_destroy(surface);
    return pixels;
}

std::size_t differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, const CRect& r) {
    std::size_t count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a[static_cast<std::size_t>(y * kWidth + x)] != b[static_cast<std::size_t>(y * kWidth + x)]) ++count;
    return count;
}

TEST_F(FullStackEditor, EveryControlIsDrawnOverTheBackgroundAndKnobsShowTheirValue) {
    effect->setParameter(tavik::kInput, 0.0f);
    ASSERT_TRUE(open());
    idle(2);
    const std::vector<uint32_t> screen = parent.pixels();
    const std::vector<uint32_t> bare = backgroundPixels();
    ASSERT_EQ(screen.size(), bare.size());
    for (const CControlRow& row : tavik::kEditorControls) {
        const CRect r = editor->control(row.tag)->getViewSize();
        EXPECT_GT(differing(screen, bare, r), 20u) << "control " << row.tag << " is not drawn";
    }
    for (const CRect& r : tavik::kIrLabelRect) EXPECT_GT(differing(screen, bare, r), 100u) << "label";
    EXPECT_EQ(differing(screen, bare, CRect(250, 70, 420, 135)), 0u) << "the logo area is the bare background";

    const CRect input = editor->control(tavik::kInput)->getViewSize();
    effect->setParameter(tavik::kInput, 1.0f);
    idle();
    EXPECT_GT(differing(screen, parent.pixels(), input), 20u) << "a knob at 0 and at 1 shows different frames";
    EXPECT_EQ(differing(screen, parent.pixels(), CRect(0, 0, kWidth, 150)), 0u) << "only the knob was redrawn";
}

// ---- Drag and drop -------------------------------------------------------------------------------------

// The dragging application: a window that owns the XdndSelection and speaks the source side of XDND.
class DropSource {
public:
    explicit DropSource(Display* display) : d(display) {
        w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        selection = XInternAtom(d, "XdndSelection", False);
        uriList = XInternAtom(d, "text/uri-list", False);
        XSetSelectionOwner(d, selection, w, CurrentTime);
    }
    ~DropSource() { XDestroyWindow(d, w); }

    void send(::Window target, const char* type, long l1, long l2, long l3, long l4) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = XInternAtom(d, type, False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(w);
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        event.xclient.data.l[3] = l3;
        event.xclient.data.l[4] = l4;
        XSendEvent(d, target, False, NoEventMask, &event);
        XFlush(d);
    }
    // Idles the editor until the target answers with `type`; answers a data request on the way with `data`.
    bool await(const char* type, const std::function<void()>& idle, const std::string& data, long* l1 = nullptr) {
        const Atom wanted = XInternAtom(d, type, False);
        for (int round = 0; round < 200; ++round) {
            idle();
            while (XPending(d) > 0) {
                XEvent event;
                XNextEvent(d, &event);
                if (event.type == SelectionRequest) answer(event.xselectionrequest, data);
                if (event.type == ClientMessage && event.xclient.message_type == wanted) {
                    if (l1) *l1 = event.xclient.data.l[1];
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    Display* d;
    ::Window w;
    Atom selection, uriList;

private:
    void answer(const XSelectionRequestEvent& request, const std::string& data) {
        XChangeProperty(d, request.requestor, request.property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.property = request.property;
        reply.xselection.time = request.time;
        XSendEvent(d, request.requestor, False, NoEventMask, &reply);
        XFlush(d);
    }
};

TEST_F(FullStackEditor, AFileDroppedOnALabelReplacesItsTextAndLoadsNothing) {
    ASSERT_TRUE(open());
    idle();
    const auto target = static_cast<::Window>(editor->getFrame()->windowId());
    ASSERT_NE(target, 0u);
    DropSource source(parent.display());
    source.send(target, "XdndEnter", 5L << 24, static_cast<long>(source.uriList), 0, 0);

    // Over a knob first: refused. Then over cabinet 2's label: taken, and the outline thickens.
    auto at = [](int x, int y) { return static_cast<long>((x << 16) | y); };
    long status = -1;
    source.send(target, "XdndPosition", 0, at(227, 192), CurrentTime, 0);
    ASSERT_TRUE(source.await("XdndStatus", idler(), {}, &status));
    EXPECT_EQ(status & 1, 0) << "a knob takes no drops";
    source.send(target, "XdndPosition", 0, at(500, 307), CurrentTime, 0);
    ASSERT_TRUE(source.await("XdndStatus", idler(), {}, &status));
    EXPECT_EQ(status & 1, 1) << "the label takes the drop";
    EXPECT_TRUE(editor->irLabel(1)->isHighlighted());
    EXPECT_EQ(editor->getFrame()->getCursor(), CCursorType::Copy);

    source.send(target, "XdndDrop", 0, CurrentTime, 0, 0);
    long finished = -1;
    ASSERT_TRUE(source.await("XdndFinished", idler(), "file:///tmp/my%20cabs/Big%20Room.wav\r\n", &finished));
    EXPECT_EQ(finished & 1, 1);
    idle();
    EXPECT_STREQ(editor->irLabel(1)->getText(), "/tmp/my cabs/Big Room.wav");
    EXPECT_FALSE(editor->irLabel(1)->isHighlighted());
    EXPECT_EQ(editor->getFrame()->getCursor(), CCursorType::Default);
    EXPECT_STREQ(editor->irLabel(0)->getText(), "Tavik_IR_Center(Alu)");
    EXPECT_EQ(effect->irName(1), "Empty") << "a drop loads nothing";
    EXPECT_FLOAT_EQ(effect->getParameter(tavik::kIrSource2), 0.0f);
}

// ---- Hosts and displays that misbehave -------------------------------------------------------------------

TEST_F(FullStackEditor, NoDisplayOrABadWindowMakesOpenAnswerZero) {
    const std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    EXPECT_EQ(call(vst::effEditOpen, 0, parent.handle()), 0);
    setenv("DISPLAY", ":9876", 1);
    EXPECT_EQ(call(vst::effEditOpen, 0, parent.handle()), 0);
    setenv("DISPLAY", display.c_str(), 1);
    idle();
    call(vst::effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
    // A window id that names no window, and none at all.
    EXPECT_EQ(call(vst::effEditOpen, 0, reinterpret_cast<void*>(uintptr_t{0x7ffff0})), 0);
    EXPECT_EQ(call(vst::effEditOpen, 0, nullptr), 0);
    EXPECT_TRUE(open()) << "and a good window still works afterwards";
}

TEST_F(FullStackEditor, AHostThatDestroysItsWindowBeforeClosingIsSurvived) {
    ASSERT_TRUE(open());
    idle();
    parent.destroy();
    effect->setParameter(tavik::kVolume, 0.1f);
    idle(3);
    call(vst::effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

}  // namespace
