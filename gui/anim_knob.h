// A knob drawn from a film strip of frames stacked vertically. Dragged up or down in a straight line
// (knob mode "linear"): kDragRange pixels cover the whole travel, ten times as many with shift held.
#pragma once

#include "gui/control.h"

class CAnimKnob : public CControl {
public:
    static constexpr CCoord kDragRange = 200;
    static constexpr float kFineFactor = 10.0f;

    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, std::shared_ptr<CBitmap> background);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint where, int32_t buttons) override;
    CMouseEventResult onMouseMoved(CPoint where, int32_t buttons) override;
    CMouseEventResult onMouseUp(CPoint where, int32_t buttons) override;
    // One step of the wheel moves the knob one frame; a tenth of that with shift.
    bool onWheel(CPoint where, float distance, int32_t buttons) override;

    int32_t getNumSubPixmaps() const { return subPixmaps_; }
    int32_t currentFrame() const { return frameFor(getValue(), subPixmaps_); }

private:
    int32_t subPixmaps_;
    CCoord heightOfOneImage_;
    bool dragging_ = false;
    bool fine_ = false;
    float anchorValue_ = 0.0f;
    CCoord anchorY_ = 0;
    CCoord lastY_ = 0;
};
