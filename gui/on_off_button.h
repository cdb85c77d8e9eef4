// A two-state button: a click toggles it between 0 and 1. Its bitmap holds the off frame above the on frame.
#pragma once

#include "gui/control.h"

class COnOffButton : public CControl {
public:
    // onAboveHalf: on only above 0.5, for the parameters the effect reads that way; else from 0.5 up.
    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, std::shared_ptr<CBitmap> background,
                 bool onAboveHalf = false);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint where, int32_t buttons) override;

    // As the effect reads the switch, so that the button never shows what does not play.
    bool isOn() const { return onAboveHalf_ ? getValue() > 0.5f : getValue() >= 0.5f; }

private:
    bool onAboveHalf_;
};
