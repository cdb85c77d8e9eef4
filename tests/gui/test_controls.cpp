// The controls and the frame without any window: values, film-strip frames, mouse gestures, what the
// listener hears, drops, and which pixels a redraw touches.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gui/anim_knob.h"
#include "gui/bitmap.h"
#include "gui/drop_data.h"
#include "gui/frame.h"
#include "gui/kick_button.h"
#include "gui/on_off_button.h"
#include "gui/vertical_switch.h"

namespace {

// What a listener hears, in order: 'b'egin, 'v'alue (with the value), 'e'nd.
struct Recorder : CControlListener {
    std::string calls;
    std::vector<float> values;
    void valueChanged(CControl* control) override {
        calls += 'v';
        values.push_back(control->getValue());
    }
    void controlBeginEdit(CControl*) override { calls += 'b'; }
    void controlEndEdit(CControl*) override { calls += 'e'; }
};

TEST(FilmStrip, ShowsTheNearestFrameWithEdgesHalfWayBetween) {
    EXPECT_EQ(CControl::frameFor(0.0f, 63), 0);
    EXPECT_EQ(CControl::frameFor(1.0f, 63), 62);
    for (int k = 0; k <= 62; ++k) EXPECT_EQ(CControl::frameFor(static_cast<float>(k) / 62.0f, 63), k) << k;
    for (int k = 0; k < 62; ++k) {
        const float edge = (static_cast<float>(k) + 0.5f) / 62.0f;
        EXPECT_EQ(CControl::frameFor(std::nextafter(edge, 0.0f) - 1e-6f, 63), k) << "just below edge " << k;
        EXPECT_EQ(CControl::frameFor(edge + 1e-6f, 63), k + 1) << "just above edge " << k;
    }
    EXPECT_EQ(CControl::frameFor(0.4999f, 2), 0);
    EXPECT_EQ(CControl::frameFor(0.5f, 2), 1);
    EXPECT_EQ(CControl::frameFor(-3.0f, 63), 0);
    EXPECT_EQ(CControl::frameFor(7.0f, 63), 62);
    EXPECT_EQ(CControl::frameFor(std::numeric_limits<float>::quiet_NaN(), 63), 0);
    EXPECT_EQ(CControl::frameFor(0.7f, 1), 0);
}

TEST(Control, ClampsItsValueAndOnlyAChangeMakesItDirty) {
    CAnimKnob knob(CRect(0, 0, 56, 56), nullptr, 3, 63, 56, nullptr);
    knob.setDirty(false);
    knob.setValue(1.5f);
    EXPECT_EQ(knob.getValue(), 1.0f);
    EXPECT_TRUE(knob.isDirty());
    knob.setDirty(false);
    knob.setValue(1.0f);
    EXPECT_FALSE(knob.isDirty()) << "the same value again draws nothing";
    knob.setValue(-0.2f);
    EXPECT_EQ(knob.getValue(), 0.0f);
    knob.setValue(0.5f);
    knob.setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(knob.getValue(), 0.0f);
    EXPECT_EQ(knob.getTag(), 3);
}

TEST(AnimKnob, DragsInAStraightLineFinerWithShiftAndStopsAtTheEnds) {
    Recorder heard;
    CAnimKnob knob(CRect(0, 0, 56, 56), &heard, 0, 63, 56, nullptr);
    knob.setValue(0.5f);
    EXPECT_EQ(knob.onMouseDown({28, 28}, kLButton), CMouseEventResult::Handled);
    knob.onMouseMoved({90, 28 - 50}, kLButton);  // sideways does nothing, up 50 of 200 pixels
    EXPECT_FLOAT_EQ(knob.getValue(), 0.75f);
    knob.onMouseMoved({28, 28 - 50}, kLButton | kShift);  // shift from here: no jump
    EXPECT_FLOAT_EQ(knob.getValue(), 0.75f);
    knob.onMouseMoved({28, 28 - 70}, kLButton | kShift);  // 20 pixels at a tenth of the speed
    EXPECT_FLOAT_EQ(knob.getValue(), 0.76f);
    knob.onMouseMoved({28, 28 - 500}, kLButton);
    EXPECT_FLOAT_EQ(knob.getValue(), 1.0f);
    knob.onMouseMoved({28, 28 - 480}, kLButton);  // turning back moves at once
    EXPECT_FLOAT_EQ(knob.getValue(), 0.9f);
    knob.onMouseUp({28, 0}, 0);
    EXPECT_EQ(heard.calls, "bvvvve");
    EXPECT_FLOAT_EQ(heard.values.back(), 0.9f);
    knob.onMouseMoved({28, 100}, 0);
    EXPECT_FLOAT_EQ(knob.getValue(), 0.9f) << "no drag after the release";
    EXPECT_EQ(knob.onMouseDown({28, 28}, kRButton), CMouseEventResult::NotHandled);
}

TEST(AnimKnob, TheWheelMovesOneFrameAndNothingPastTheEnd) {
    Recorder heard;
    CAnimKnob knob(CRect(0, 0, 56, 56), &heard, 0, 63, 56, nullptr);
    knob.setValue(0.5f);
    const int32_t before = knob.currentFrame();
    knob.onWheel({28, 28}, 1.0f, 0);
    EXPECT_EQ(knob.currentFrame(), before + 1);
    knob.onWheel({28, 28}, -1.0f, kShift);
    EXPECT_NEAR(knob.getValue(), 0.5f + 0.9f / 62.0f, 1e-6f);
    knob.setValue(1.0f);
    heard.calls.clear();
    knob.onWheel({28, 28}, 1.0f, 0);
    EXPECT_EQ(heard.calls, "be") << "already at the end: nothing to report";
}

TEST(Buttons, OnOffTogglesKickSendsOneThenZeroSwitchTakesThePositionUnderThePointer) {
    Recorder heard;
    COnOffButton button(CRect(0, 0, 12, 27), &heard, 2, nullptr);
    button.onMouseDown({5, 5}, kLButton);
    EXPECT_EQ(button.getValue(), 1.0f);
    button.setValue(0.5f);  // on, as the effect reads switches
    button.onMouseDown({5, 5}, kLButton);
    EXPECT_EQ(button.getValue(), 0.0f);
    EXPECT_EQ(heard.calls, "bvebve");
    COnOffButton source(CRect(0, 0, 12, 27), nullptr, 32, nullptr, true);
    source.setValue(0.5f);  // the Int/Ext switches play the built-in response at 0.5
    EXPECT_FALSE(source.isOn());
    source.onMouseDown({5, 5}, kLButton);
    EXPECT_EQ(source.getValue(), 1.0f);

    heard = {};
    CKickButton kick(CRect(0, 0, 53, 40), &heard, 21, 40, nullptr);
    kick.onMouseDown({5, 5}, kLButton);
    EXPECT_EQ(kick.getValue(), 1.0f);
    kick.onMouseUp({500, 500}, 0);
    EXPECT_EQ(kick.getValue(), 0.0f);
    EXPECT_EQ(heard.calls, "bvve");
    EXPECT_EQ(heard.values, (std::vector<float>{1.0f, 0.0f}));

    heard = {};
    CVerticalSwitch channel(CRect(10, 100, 45, 160), &heard, 1, 2, 60, 2, nullptr);
    channel.onMouseDown({20, 110}, kLButton);  // upper half: already position 0
    channel.onMouseMoved({20, 131}, kLButton);  // into the lower half
    channel.onMouseMoved({20, 400}, kLButton);  // below: still the last position
    channel.onMouseUp({20, 400}, 0);
    EXPECT_EQ(channel.getValue(), 1.0f);
    EXPECT_EQ(heard.calls, "bve");
}

// ---- The frame without a window -----------------------------------------------------------------------

// A two-frame bitmap of w x h per frame: frame 0 red, frame 1 blue, each with its alpha.
std::vector<unsigned char> twoFramePng(int w, int h, double alpha) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, 2 * h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, 1, 0, 0, alpha);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 1, alpha);
    cairo_rectangle(cr, 0, h, w, h);
    cairo_fill(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<unsigned char>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(s);
    return bytes;
}

uint32_t pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    return reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] & 0xffffffu;
}

struct CountingView : CView {
    using CView::CView;
    int draws = 0;
    void draw(CDrawContext*) override { ++draws; }
};

TEST(Frame, RedrawsOnlyWhatChangedInDrawingOrder) {
    const std::vector<unsigned char> opaque = twoFramePng(10, 10, 1.0);
    const std::vector<unsigned char> seeThrough = twoFramePng(10, 10, 0.0);
    auto bitmap = std::make_shared<CBitmap>(opaque.data(), opaque.size());
    ASSERT_EQ(bitmap->getWidth(), 10);
    ASSERT_EQ(bitmap->getHeight(), 20);
    EXPECT_FALSE(CBitmap(opaque.data(), 20).isLoaded()) << "a cut PNG has no size";

    CFrame frame(CRect(0, 0, 100, 50), nullptr, nullptr);
    EXPECT_FALSE(frame.isOpen());
    auto* button = new COnOffButton(CRect::fromSize(10, 10, 10, 10), nullptr, 0, bitmap);
    auto* cover = new COnOffButton(CRect::fromSize(15, 10, 10, 10), nullptr, 1,
                                   std::make_shared<CBitmap>(seeThrough.data(), seeThrough.size()));
    auto* far = new CountingView(CRect(60, 10, 70, 20));
    frame.addView(button);
    frame.addView(cover);
    frame.addView(far);
    frame.redraw();
    ASSERT_NE(frame.backBuffer(), nullptr);
    EXPECT_EQ(pixel(frame.backBuffer(), 12, 12), 0xff0000u) << "off frame";
    EXPECT_EQ(pixel(frame.backBuffer(), 5, 5), 0x000000u) << "no background: black";
    EXPECT_EQ(far->draws, 1);

    button->setValue(1.0f);
    frame.redraw();
    EXPECT_EQ(pixel(frame.backBuffer(), 12, 12), 0x0000ffu) << "on frame";
    EXPECT_EQ(pixel(frame.backBuffer(), 17, 12), 0x0000ffu) << "seen through the transparent view on top";
    EXPECT_EQ(far->draws, 1) << "a view away from the change is not drawn again";
    frame.redraw();
    EXPECT_EQ(far->draws, 1) << "nothing dirty, nothing drawn";
}

TEST(Frame, GivesTheWholeGestureToTheViewPressedAndDropsToTheViewUnderThePointer) {
    Recorder heard;
    CFrame frame(CRect(0, 0, 200, 100), nullptr, nullptr);
    auto* low = new CAnimKnob(CRect(0, 0, 56, 56), &heard, 0, 63, 56, nullptr);
    auto* high = new CAnimKnob(CRect(50, 0, 106, 56), &heard, 1, 63, 56, nullptr);
    frame.addView(low);
    frame.addView(high);
    EXPECT_EQ(frame.viewAt({53, 10}), high) << "the later view is on top";
    frame.onMouseDown({53, 40}, kLButton);
    frame.onMouseMoved({5, 20}, kLButton);  // over the other knob, still the same gesture
    frame.onMouseUp({5, 20}, 0);
    EXPECT_FLOAT_EQ(high->getValue(), 0.1f);
    EXPECT_EQ(low->getValue(), 0.0f);
    frame.onWheel({10, 10}, 1.0f, 0);
    EXPECT_GT(low->getValue(), 0.0f);
    frame.onMouseDown({150, 90}, kLButton);  // on nothing
    frame.onMouseMoved({53, 40}, kLButton);
    EXPECT_FLOAT_EQ(high->getValue(), 0.1f);

    CDragContainer drag;
    drag.add(CDragContainer::Type::File, "/a.wav");
    EXPECT_FALSE(frame.onDragMove(drag, {10, 10})) << "knobs take no drops";
    EXPECT_FALSE(frame.onDrop(drag, {10, 10}));
}

TEST(DropData, FileUrisBecomePathsAndTextStaysText) {
    const CDragContainer files =
        gui::dropItems("# from a file manager\r\nfile:///home/me/My%20IRs/cab.wav\r\nfile://box/b%2x.wav\r\n"
                       "http://example.com/x.wav\r\n",
                       true);
    ASSERT_EQ(files.getCount(), 3u);
    EXPECT_EQ(files.item(0)->type, CDragContainer::Type::File);
    EXPECT_EQ(files.item(0)->data, "/home/me/My IRs/cab.wav");
    EXPECT_EQ(files.item(1)->data, "/b%2x.wav") << "a bad escape is kept as it is";
    EXPECT_EQ(files.item(2)->type, CDragContainer::Type::Text);
    const CDragContainer text = gui::dropItems(std::string("two words\n\0", 11), false);
    ASSERT_EQ(text.getCount(), 1u);
    EXPECT_EQ(text.item(0)->type, CDragContainer::Type::Text);
    EXPECT_EQ(text.item(0)->data, "two words");
    EXPECT_EQ(gui::dropItems("", true).getCount(), 0u);
    EXPECT_EQ(gui::pathOfFileUri("file:nothing"), "");
}

}  // namespace
