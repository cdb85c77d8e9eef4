#include "gui/aeff_gui_editor.h"

#include <dlfcn.h>

#include "gui/frame.h"

namespace {

// pixman, which cairo draws with, allocates about 13 KB each time it is loaded and never frees it. Hosts
// load and unload plug-ins many times (scanning, sessions), so the drawing libraries stay in the process
// once a plug-in with an editor has been loaded, rather than being loaded again each time.
bool keepDrawingLibrariesLoaded() {
    for (const char* name : {"libcairo.so.2", "libpixman-1.so.0"}) dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return true;
}

// When the plug-in is loaded, before any effect exists.
[[maybe_unused]] const bool kDrawingLibrariesKept = keepDrawingLibrariesLoaded();

}  // namespace

AEffGUIEditor::AEffGUIEditor(vst::AudioEffect* effect) : AEffEditor(effect) {
    for (auto& value : posted_) value.store(0.0f, std::memory_order_relaxed);
    if (effect) effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
    delete frame_;
}

bool AEffGUIEditor::getRect(vst::ERect** rect) {
    if (!rect) return false;
    *rect = &rect_;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    systemWindow_ = parentWindow;
    return true;
}

void AEffGUIEditor::close() {
    CFrame* frame = frame_;
    frame_ = nullptr;
    delete frame;
    systemWindow_ = nullptr;
}

void AEffGUIEditor::idle() {
    if (!frame_) return;
    frame_->pumpEvents();
    if (frame_ && !frame_->connectionLost()) {
        takePostedValues();
        frame_->redraw();
    }
    // The X server went away: the editor closes itself, and the host's close later finds nothing to do.
    if (frame_ && frame_->connectionLost()) close();
}

bool AEffGUIEditor::setKnobMode(int32_t mode) {
    knobMode_ = mode;
    return true;
}

void AEffGUIEditor::beginEdit(int32_t index) {
    if (effect_) effect_->callHost(vst::audioMasterBeginEdit, index, 0, nullptr, 0.0f);
}

void AEffGUIEditor::endEdit(int32_t index) {
    if (effect_) effect_->callHost(vst::audioMasterEndEdit, index, 0, nullptr, 0.0f);
}

void AEffGUIEditor::setRect(int16_t width, int16_t height) {
    rect_ = vst::ERect{0, 0, height, width};
}

void AEffGUIEditor::postValue(int32_t tag, float value) noexcept {
    if (tag < 0 || tag >= kMaxTags) return;
    posted_[static_cast<std::size_t>(tag)].store(value, std::memory_order_relaxed);
    // Release: whoever sees the bit also sees the value stored before it.
    postedMask_.fetch_or(uint64_t{1} << tag, std::memory_order_release);
}

void AEffGUIEditor::clearPostedValues() noexcept {
    postedMask_.store(0, std::memory_order_release);
}

void AEffGUIEditor::takePostedValues() {
    uint64_t mask = postedMask_.exchange(0, std::memory_order_acquire);
    for (int32_t tag = 0; mask != 0; ++tag, mask >>= 1)
        if (mask & 1) applyValue(tag, posted_[static_cast<std::size_t>(tag)].load(std::memory_order_relaxed));
}
