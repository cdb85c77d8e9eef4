#include "gui/vertical_switch.h"

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                                 CCoord heightOfOneImage, int32_t positions, std::shared_ptr<CBitmap> background)
    : CControl(size, listener, tag, std::move(background)),
      subPixmaps_(subPixmaps > 0 ? subPixmaps : 1),
      heightOfOneImage_(heightOfOneImage),
      positions_(positions > 1 ? positions : 2) {}

void CVerticalSwitch::draw(CDrawContext* context) {
    drawFrame(context, frameFor(getValue(), subPixmaps_), heightOfOneImage_);
}

CMouseEventResult CVerticalSwitch::onMouseDown(CPoint where, int32_t buttons) {
    if (!(buttons & kLButton)) return CMouseEventResult::NotHandled;
    beginEdit();
    dragging_ = true;
    follow(where);
    return CMouseEventResult::Handled;
}

CMouseEventResult CVerticalSwitch::onMouseMoved(CPoint where, int32_t) {
    if (!dragging_) return CMouseEventResult::NotHandled;
    follow(where);
    return CMouseEventResult::Handled;
}

CMouseEventResult CVerticalSwitch::onMouseUp(CPoint, int32_t) {
    if (!dragging_) return CMouseEventResult::NotHandled;
    dragging_ = false;
    endEdit();
    return CMouseEventResult::Handled;
}

void CVerticalSwitch::follow(CPoint where) {
    const CRect& r = getViewSize();
    const CCoord height = r.height() > 0 ? r.height() : 1;
    int32_t position = (where.y - r.top) * positions_ / height;
    if (position < 0) position = 0;
    if (position >= positions_) position = positions_ - 1;
    const float value = static_cast<float>(position) / static_cast<float>(positions_ - 1);
    if (value == getValue()) return;
    setValue(value);
    valueChanged();
}
