// The editor base the effects derive from: the editor rectangle, the frame while the window is open,
// the host's idle call, the knob mode, and the way parameter changes reach the controls.
//
// Threads: the host opens, closes and idles the editor from one thread (its editor thread). The
// effect's setParameter may call the editor from any thread, the audio thread included, so that path
// only posts a value (postValue: atomics, no lock, no allocation); the next idle hands posted values to
// the controls and draws them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "vst/aeff_editor.h"
#include "vst/audio_effect.h"

class CFrame;

enum CKnobMode : int32_t { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

class AEffGUIEditor : public vst::AEffEditor {
public:
    // Parameter tags 0..kMaxTags-1 can be posted.
    static constexpr int32_t kMaxTags = 64;

    explicit AEffGUIEditor(vst::AudioEffect* effect);
    // Deletes the frame if the host never closed the window.
    ~AEffGUIEditor() override;

    // Answered before and after open alike.
    bool getRect(vst::ERect** rect) override;
    // Remembers the host's window; the derived editor builds the frame in it.
    bool open(void* parentWindow) override;
    // Deletes the frame with every view in it.
    void close() override;
    // The window's events, then the posted parameter values, then the redraw. Closes the editor when the
    // connection to the X server has broken.
    void idle() override;
    bool setKnobMode(int32_t mode) override;
    bool isOpen() const override { return frame_ != nullptr; }

    int32_t getKnobMode() const { return knobMode_; }
    CFrame* getFrame() const { return frame_; }
    vst::AudioEffect* getEffect() const { return effect_; }

    // Tell the host that the user starts or ends changing a parameter (automation recording).
    void beginEdit(int32_t index);
    void endEdit(int32_t index);

protected:
    void setRect(int16_t width, int16_t height);

    // Any thread: the value to show for `tag` at the next idle. Tags outside 0..kMaxTags-1 are ignored.
    void postValue(int32_t tag, float value) noexcept;
    // Forgets what was posted; an editor that reads every value fresh (on open) calls it first.
    void clearPostedValues() noexcept;
    // Editor thread: hands every value posted since the last call to applyValue, lowest tag first.
    void takePostedValues();
    // What a posted value does: typically sets the control of that tag.
    virtual void applyValue(int32_t tag, float value) { (void)tag; (void)value; }

    CFrame* frame_ = nullptr;
    void* systemWindow_ = nullptr;

private:
    vst::ERect rect_{};
    int32_t knobMode_ = kCircularMode;
    std::array<std::atomic<float>, kMaxTags> posted_{};
    std::atomic<uint64_t> postedMask_{0};
};
