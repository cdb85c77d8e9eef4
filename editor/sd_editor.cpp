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
    // Only read: this thread must not re-apply a switch into a program that another thread may be replaying.
    showIrName(0);
    showIrName(1);
    // A load asked for while no editor was open is not run now.
    tavik_->dropDeferredLoads();
    takePostedValues();
}

void SDEditor::idle() {
    CTableEditor::idle();
    if (!frame_) return;
    for (int cabinet = 0; cabinet < 2; ++cabinet)
        if (tavik_->takeDeferredLoad(cabinet)) effect_->setParameter(kLoadIr1 + cabinet, 1.0f);
    for (int cabinet = 0; cabinet < 2; ++cabinet)
        if (frame_ && messageShown_[static_cast<std::size_t>(cabinet)] && !tavik_->irMessageShown(cabinet))
            showIrName(cabinet);
}

void SDEditor::applyValue(int32_t tag, float value) {
    CTableEditor::applyValue(tag, value);
    if (tag == kIrSource1 || tag == kIrSource2) showIrName(tag - kIrSource1);
}

void SDEditor::showIrName(int cabinet) {
    if (!frame_) return;
    char text[CLabel::kTextSize];
    messageShown_[static_cast<std::size_t>(cabinet)] = tavik_->irMessageShown(cabinet);
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
