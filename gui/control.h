// A view with a value in 0..1 and a tag (the parameter it stands for). A change made by the user goes to
// the listener; a change made with setValue (the effect telling the editor) only redraws.
#pragma once

#include <cstdint>
#include <memory>

#include "gui/control_listener.h"
#include "gui/view.h"

class CBitmap;

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener, int32_t tag, std::shared_ptr<CBitmap> background);
    ~CControl() override;

    // Values outside 0..1 are clamped, NaN counts as 0. A changed value marks the control for redrawing.
    virtual void setValue(float value);
    float getValue() const { return value_; }
    int32_t getTag() const { return tag_; }
    CControlListener* getListener() const { return listener_; }
    void setListener(CControlListener* listener) { listener_ = listener; }
    CBitmap* getBackground() const { return background_.get(); }

    // What the wheel moves by, per step.
    void setWheelInc(float inc) { wheelInc_ = inc; }
    float getWheelInc() const { return wheelInc_; }

    // The user changed the value: tells the listener.
    void valueChanged();
    // Brackets a user gesture for the listener and the host (automation recording). Nested calls count.
    void beginEdit();
    void endEdit();
    bool isEditing() const { return editDepth_ > 0; }

    // Which of `count` film-strip frames shows `value`: the nearest one, so frame k shows exactly k/(count-1)
    // and the change to the next frame lies half-way between.
    static int32_t frameFor(float value, int32_t count);

protected:
    // Draws frame `index` of the background film strip, `frameHeight` pixels per frame, into the view.
    void drawFrame(CDrawContext* context, int32_t index, CCoord frameHeight);

private:
    CControlListener* listener_;
    int32_t tag_;
    std::shared_ptr<CBitmap> background_;
    float value_ = 0.0f;
    float wheelInc_ = 0.1f;
    int editDepth_ = 0;
};
