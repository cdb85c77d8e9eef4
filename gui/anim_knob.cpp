#include "gui/anim_knob.h"

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, std::shared_ptr<CBitmap> background)
    : CControl(size, listener, tag, std::move(background)),
      subPixmaps_(subPixmaps > 0 ? subPixmaps : 1),
      heightOfOneImage_(heightOfOneImage) {
    setWheelInc(subPixmaps_ > 1 ? 1.0f / static_cast<float>(subPixmaps_ - 1) : 0.1f);
}

void CAnimKnob::draw(CDrawContext* context) {
    drawFrame(context, currentFrame(), heightOfOneImage_);
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint where, int32_t buttons) {
    if (!(buttons & kLButton)) return CMouseEventResult::NotHandled;
    beginEdit();
    dragging_ = true;
    fine_ = (buttons & kShift) != 0;
    anchorValue_ = getValue();
    anchorY_ = where.y;
    lastY_ = where.y;
    return CMouseEventResult::Handled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint where, int32_t buttons) {
    if (!dragging_) return CMouseEventResult::NotHandled;
    const bool fine = (buttons & kShift) != 0;
    if (fine != fine_) {
        // Pressing or releasing shift mid-drag changes the speed from the last position on, without a jump.
        fine_ = fine;
        anchorValue_ = getValue();
        anchorY_ = lastY_;
    }
    lastY_ = where.y;
    const float range = static_cast<float>(kDragRange) * (fine_ ? kFineFactor : 1.0f);
    float target = anchorValue_ + static_cast<float>(anchorY_ - where.y) / range;
    if (target < 0.0f || target > 1.0f) {
        // Past an end the knob stays there, and turning back moves it at once.
        target = target < 0.0f ? 0.0f : 1.0f;
        anchorValue_ = target;
        anchorY_ = where.y;
    }
    if (target != getValue()) {
        setValue(target);
        valueChanged();
    }
    return CMouseEventResult::Handled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint, int32_t) {
    if (!dragging_) return CMouseEventResult::NotHandled;
    dragging_ = false;
    endEdit();
    return CMouseEventResult::Handled;
}

bool CAnimKnob::onWheel(CPoint, float distance, int32_t buttons) {
    const float step = getWheelInc() * ((buttons & kShift) ? 1.0f / kFineFactor : 1.0f);
    const float before = getValue();
    beginEdit();
    setValue(before + distance * step);
    if (getValue() != before) valueChanged();
    endEdit();
    return true;
}
