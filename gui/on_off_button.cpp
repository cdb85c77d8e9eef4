#include "gui/on_off_button.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, int32_t tag,
                           std::shared_ptr<CBitmap> background, bool onAboveHalf)
    : CControl(size, listener, tag, std::move(background)), onAboveHalf_(onAboveHalf) {}

void COnOffButton::draw(CDrawContext* context) {
    drawFrame(context, isOn() ? 1 : 0, getViewSize().height());
}

CMouseEventResult COnOffButton::onMouseDown(CPoint, int32_t buttons) {
    if (!(buttons & kLButton)) return CMouseEventResult::NotHandled;
    beginEdit();
    setValue(isOn() ? 0.0f : 1.0f);
    valueChanged();
    endEdit();
    return CMouseEventResult::Handled;
}
