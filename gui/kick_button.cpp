#include "gui/kick_button.h"

CKickButton::CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                         std::shared_ptr<CBitmap> background)
    : CControl(size, listener, tag, std::move(background)), heightOfOneImage_(heightOfOneImage) {}

void CKickButton::draw(CDrawContext* context) {
    drawFrame(context, getValue() >= 0.5f ? 1 : 0, heightOfOneImage_);
}

CMouseEventResult CKickButton::onMouseDown(CPoint, int32_t buttons) {
    if (!(buttons & kLButton)) return CMouseEventResult::NotHandled;
    beginEdit();
    pressed_ = true;
    setValue(1.0f);
    valueChanged();
    return CMouseEventResult::Handled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint, int32_t) {
    if (!pressed_) return CMouseEventResult::NotHandled;
    pressed_ = false;
    setValue(0.0f);
    valueChanged();
    endEdit();
    return CMouseEventResult::Handled;
}
