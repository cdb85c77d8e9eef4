#include "editor/sd_editor.h"

#include "editor/editor_layout.h"
#include "editor/label.h"
#include "gui/frame.h"
#include "resources/art.h"
#include "shell/tavik.h"

namespace tavik {

SDEditor::SDEditor(Tavik* effect) : CTableEditor(effect, fullStackArt(), kEditorControls, kNumParams), tavik_(effect) {}

void SDEditor::close() {
    labels_.fill(nullptr);
    CTableEditor::close();
}

CLabel* SDEditor::irLabel(int cabinet) const {
    return cabinet == 0 || cabinet == 1 ? labels_[static_cast<std::size_t>(cabinet)] : nullptr;
}

void SDEditor::opened() {
    // Now that the frame exists the effect's change path reaches the labels (and the effect learns that
    // program switches must re-apply these two switches from now on).
    effect_->setParameter(kIrSource1, effect_->getParameter(kIrSource1));
    effect_->setParameter(kIrSource2, effect_->getParameter(kIrSource2));
    // Show them at once rather than at the first idle.
    takePostedValues();
}

void SDEditor::applyValue(int32_t tag, float value) {
    CTableEditor::applyValue(tag, value);
    if (tag == kIrSource1 || tag == kIrSource2) showIrName(tag - kIrSource1);
}

void SDEditor::showIrName(int cabinet) {
    if (!frame_) return;
    char text[CLabel::kTextSize];
    if (!tavik_->irLabelText(cabinet, text, sizeof text)) text[0] = '\0';
    CLabel*& label = labels_[static_cast<std::size_t>(cabinet)];
    if (label) {
        label->setText(text);
        return;
    }
    label = new CLabel(kIrLabelRect[cabinet], text);
    label->setFont(kNormalFontSmaller);
    label->setFontColor(kWhiteCColor);
    frame_->addView(label);
}

}  // namespace tavik
