// The file chooser an effect opens to let the user pick a file. The host's own selector is asked first
// (when the host says it can "openFileSelector"); otherwise a zenity or kdialog window is run as a separate
// process. Where neither is available the request counts as cancelled.
#pragma once

#include <cstdint>
#include <string>

#include "vst/aeffect.h"
#include "vst/audio_effect.h"

class CFileSelector {
public:
    explicit CFileSelector(vst::AudioEffectX* effect) noexcept : effect_(effect) {}
    ~CFileSelector();
    CFileSelector(const CFileSelector&) = delete;
    CFileSelector& operator=(const CFileSelector&) = delete;

    // Runs a load request. Returns 1 when a file was chosen: its path is then in request->returnPath
    // (which the caller provides with sizeReturnPath bytes). Returns 0 when cancelled or unavailable.
    int32_t run(vst::VstFileSelect* request);

private:
    bool runWithHost(vst::VstFileSelect* request);
    bool runDialog(vst::VstFileSelect* request);

    vst::AudioEffectX* effect_;
    vst::VstFileSelect* openedWithHost_ = nullptr;
};

namespace gui {
// Runs argv (argv[0] looked up on PATH) and returns its standard output with the final newline removed;
// false when the program is missing, fails or prints nothing.
bool captureCommandOutput(const char* const* argv, std::string& output);
}  // namespace gui
