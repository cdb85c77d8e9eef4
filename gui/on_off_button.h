// A two-state button: a click toggles it between 0 and 1. Its bitmap holds the off frame above the on frame.
#pragma once

#include "gui/control.h"

class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, std::shared_ptr<CBitmap> background);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint where, int32_t buttons) override;

    // On from 0.5 up, as the effects read their switches.
    bool isOn() const { return getValue() >= 0.5f; }
};
