// The preamp-only editor in a real X11 window (xvfb-run), driven through the dispatcher and xdotool.
#include <gtest/gtest.h>

#include <memory>

#include "gui/control.h"
#include "gui/frame.h"
#include "preamp/preamp_editor.h"
#include "preamp/preamp_effect.h"
#include "support/x11_host.h"

using namespace testing_support;
using namespace tavik_preamp;

namespace {

class PreampEditor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(parent.ok()) << "no X display: run under xvfb-run";
        hostRecord().clear();
        effect = std::make_unique<Tavik>(editorHost);
        e = effect->getAeffect();
        editor = dynamic_cast<SDEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
    }
    intptr_t call(int32_t opcode, intptr_t value = 0, void* ptr = nullptr) {
        return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
    }
    bool open() { return call(vst::effEditOpen, 0, parent.handle()) == 1; }
    void idle() { call(vst::effEditIdle); }
    std::function<void()> idler() {
        return [this] { idle(); };
    }
    float shown(int32_t tag) { return editor->control(tag)->getValue(); }

    X11Parent parent{660, 175};
    std::unique_ptr<Tavik> effect;
    vst::AEffect* e = nullptr;
    SDEditor* editor = nullptr;
};

TEST_F(PreampEditor, RectAndControlsAreThoseOfThePanel) {
    EXPECT_TRUE(e->flags & vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    ASSERT_EQ(call(vst::effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, 660);
    EXPECT_EQ(rect->bottom, 175);
    ASSERT_TRUE(open());
    ASSERT_EQ(call(vst::effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, 660);
    EXPECT_EQ(rect->bottom, 175);

    // Creation order with each rectangle: the position plus one frame of the control's bitmap.
    struct Expected {
        int32_t tag;
        CRect rect;
    };
    const Expected expected[] = {
        {0, {33, 89, 89, 145}},    {1, {77, 87, 112, 147}},   {2, {145, 88, 157, 115}},
        {3, {145, 120, 157, 147}}, {4, {329, 111, 337, 119}}, {12, {575, 51, 583, 59}},
        {5, {205, 89, 261, 145}},  {6, {255, 89, 311, 145}},  {10, {351, 89, 407, 145}},
        {7, {402, 89, 458, 145}},  {8, {451, 89, 507, 145}},  {9, {500, 89, 556, 145}},
        {11, {562, 89, 618, 145}}, {13, {575, 31, 583, 39}},
    };
    CFrame* frame = editor->getFrame();
    ASSERT_EQ(frame->getNbViews(), 14);
    for (int32_t i = 0; i < 14; ++i) {
        auto* control = dynamic_cast<CControl*>(frame->getView(i));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->getTag(), expected[i].tag) << "view " << i;
        EXPECT_EQ(control->getViewSize(), expected[i].rect) << "tag " << expected[i].tag;
    }
}

TEST_F(PreampEditor, ClosedItIsLeftAloneAndOpeningShowsCurrentValues) {
    effect->setParameter(kVolume, 0.2f);
    effect->setParameter(kMonoStereo, 1.0f);
    effect->setParameter(40, 1.0f);  // no such parameter: nothing happens
    idle();
    ASSERT_TRUE(open());
    EXPECT_FLOAT_EQ(shown(kVolume), 0.2f);
    EXPECT_FLOAT_EQ(shown(kMonoStereo), 1.0f);
    effect->setParameter(kQuality, 1.0f);
    effect->setParameter(14, 0.7f);
    idle();
    EXPECT_FLOAT_EQ(shown(kQuality), 1.0f);
    for (int32_t tag = 0; tag < kNumParams; ++tag)
        EXPECT_FLOAT_EQ(shown(tag), effect->getParameter(tag)) << "index 14 changed control " << tag;
}

TEST_F(PreampEditor, Drive1InCleanSnapsBackAndTheHostHearsTheDraggedValue) {
    ASSERT_TRUE(open());
    // From 0.5 up 80 pixels: 0.9.
    ASSERT_TRUE(parent.drag(233, 117, 0, -80, idler()));
    EXPECT_FLOAT_EQ(effect->getParameter(kDrive1), 0.5f);
    EXPECT_FLOAT_EQ(shown(kDrive1), 0.5f);
    float told = -1.0f;
    for (const HostEvent& event : hostRecord().events())
        if (event.opcode == vst::audioMasterAutomate && event.index == kDrive1) told = event.value;
    EXPECT_NEAR(told, 0.9f, 1e-4f);
}

TEST_F(PreampEditor, ChannelSwitchMovesThePerChannelControls) {
    effect->setParameter(kChannel, 1.0f);
    effect->setParameter(kDrive2, 0.8f);
    effect->setParameter(kContour, 0.2f);
    effect->setParameter(kBoost, 1.0f);
    effect->setParameter(kBright, 1.0f);
    effect->setParameter(kChannel, 0.0f);
    ASSERT_TRUE(open());
    EXPECT_FLOAT_EQ(shown(kDrive2), 0.5f);
    ASSERT_TRUE(parent.click(94, 135, idler()));
    EXPECT_FLOAT_EQ(shown(kChannel), 1.0f);
    EXPECT_FLOAT_EQ(shown(kDrive2), 0.8f);
    EXPECT_FLOAT_EQ(shown(kContour), 0.2f);
    EXPECT_FLOAT_EQ(shown(kBoost), 1.0f);
    EXPECT_FLOAT_EQ(shown(kBright), 1.0f);
    ASSERT_TRUE(parent.click(94, 95, idler()));
    EXPECT_FLOAT_EQ(shown(kChannel), 0.0f);
    EXPECT_FLOAT_EQ(shown(kDrive2), 0.5f);
    EXPECT_FLOAT_EQ(shown(kBright), 0.0f);
}

}  // namespace
