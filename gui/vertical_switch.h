// A switch of N positions stacked from top to bottom: a click or drag picks the position under the
// pointer, position k being the value k / (N - 1). Frame k of the film strip shows position k.
#pragma once

#include "gui/control.h"

class CVerticalSwitch : public CControl {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                    CCoord heightOfOneImage, int32_t positions, std::shared_ptr<CBitmap> background);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint where, int32_t buttons) override;
    CMouseEventResult onMouseMoved(CPoint where, int32_t buttons) override;
    CMouseEventResult onMouseUp(CPoint where, int32_t buttons) override;

    int32_t position() const { return frameFor(getValue(), positions_); }

private:
    void follow(CPoint where);

    int32_t subPixmaps_;
    CCoord heightOfOneImage_;
    int32_t positions_;
    bool dragging_ = false;
};
