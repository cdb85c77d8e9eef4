#include "gui/table_editor.h"

#include <algorithm>

#include "gui/bitmap.h"
#include "gui/control.h"
#include "gui/frame.h"

CTableEditor::CTableEditor(vst::AudioEffect* effect, const CResourceTable& art, std::span<const CControlRow> rows,
                           int32_t numParams)
    : AEffGUIEditor(effect),
      art_(art),
      rows_(rows),
      numParams_(std::clamp(numParams, 0, kMaxTags)),
      background_(std::make_shared<CBitmap>(art, kBackgroundBitmap)) {
    setRect(static_cast<int16_t>(background_->getWidth()), static_cast<int16_t>(background_->getHeight()));
}

CTableEditor::~CTableEditor() = default;

bool CTableEditor::open(void* parentWindow) {
    if (frame_) close();
    // Everything is read fresh from the effect below; what was posted before is older than that.
    clearPostedValues();
    AEffGUIEditor::open(parentWindow);
    auto* frame = new CFrame(CRect(0, 0, background_->getWidth(), background_->getHeight()), parentWindow, this);
    if (!frame->isOpen()) {
        delete frame;
        systemWindow_ = nullptr;
        return false;
    }
    frame->setBackground(background_);
    CBitmapCache bitmaps(art_);
    for (const CControlRow& row : rows_) {
        if (row.tag < 0 || row.tag >= numParams_) continue;
        CControl* control = createControl(row, bitmaps, this);
        control->setValue(effect_->getParameter(row.tag));
        frame->addView(control);
        controls_[static_cast<std::size_t>(row.tag)] = control;
    }
    frame_ = frame;
    opened();
    return true;
}

void CTableEditor::close() {
    controls_.fill(nullptr);
    AEffGUIEditor::close();
}

bool CTableEditor::setKnobMode(int32_t) {
    return AEffGUIEditor::setKnobMode(kLinearMode);
}

void CTableEditor::setParameter(int32_t index, float) {
    if (index < 0 || index >= numParams_ || !effect_) return;
    postValue(index, effect_->getParameter(index));
}

void CTableEditor::valueChanged(CControl* control) {
    if (!control || !effect_) return;
    const int32_t tag = control->getTag();
    if (tag < 0 || tag >= numParams_) return;
    effect_->setParameterAutomated(tag, control->getValue());
    control->setDirty();
}

CControl* CTableEditor::control(int32_t index) const {
    return index >= 0 && index < numParams_ ? controls_[static_cast<std::size_t>(index)] : nullptr;
}

void CTableEditor::applyValue(int32_t tag, float value) {
    if (CControl* c = control(tag)) c->setValue(value);
}
