// A momentary button: 1 while it is held down, 0 when it is released. The bitmap holds the released frame
// above the pressed one.
#pragma once

#include "gui/control.h"

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                std::shared_ptr<CBitmap> background);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint where, int32_t buttons) override;
    CMouseEventResult onMouseUp(CPoint where, int32_t buttons) override;

private:
    CCoord heightOfOneImage_;
    bool pressed_ = false;
};
