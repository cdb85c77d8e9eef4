#include "gui/control.h"

#include <cmath>

#include "gui/aeff_gui_editor.h"
#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, std::shared_ptr<CBitmap> background)
    : CView(size), listener_(listener), tag_(tag), background_(std::move(background)) {}

CControl::~CControl() {
    // A control deleted in the middle of a gesture still closes it, or the host would wait for the end.
    while (editDepth_ > 0) endEdit();
}

void CControl::setValue(float value) {
    float v = value > 0.0f ? value : 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (v == value_) return;
    value_ = v;
    setDirty();
}

void CControl::valueChanged() {
    if (listener_) listener_->valueChanged(this);
}

void CControl::beginEdit() {
    ++editDepth_;
    if (listener_) listener_->controlBeginEdit(this);
    if (CFrame* frame = getFrame(); frame && frame->getEditor()) frame->getEditor()->beginEdit(tag_);
}

void CControl::endEdit() {
    if (editDepth_ == 0) return;
    --editDepth_;
    if (CFrame* frame = getFrame(); frame && frame->getEditor()) frame->getEditor()->endEdit(tag_);
    if (listener_) listener_->controlEndEdit(this);
}

int32_t CControl::frameFor(float value, int32_t count) {
    if (count <= 1 || !(value > 0.0f)) return 0;
    if (value >= 1.0f) return count - 1;
    const auto index = static_cast<int32_t>(std::floor(static_cast<double>(value) * (count - 1) + 0.5));
    return index < count - 1 ? index : count - 1;
}

void CControl::drawFrame(CDrawContext* context, int32_t index, CCoord frameHeight) {
    if (!background_ || !context) return;
    context->drawBitmap(*background_, getViewSize(), CPoint{0, index * frameHeight});
}
