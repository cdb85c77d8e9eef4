// The editor side of the host adapter: the effect forwards the host's editor requests here.
#pragma once

#include "vst/aeffect.h"

namespace vst {

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) noexcept : effect_(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual bool getRect(ERect** rect) { (void)rect; return false; }
    virtual bool open(void* parentWindow) { (void)parentWindow; return false; }
    virtual void close() {}
    virtual void idle() {}
    virtual bool onKeyDown(int32_t character, int32_t virtualKey, float modifiers) {
        (void)character; (void)virtualKey; (void)modifiers;
        return false;
    }
    virtual bool onKeyUp(int32_t character, int32_t virtualKey, float modifiers) {
        (void)character; (void)virtualKey; (void)modifiers;
        return false;
    }
    virtual bool setKnobMode(int32_t mode) { (void)mode; return false; }
    // Told of every parameter change after the effect has applied it.
    virtual void setParameter(int32_t index, float value) { (void)index; (void)value; }
    virtual bool isOpen() const { return false; }

protected:
    AudioEffect* effect_;
};

}  // namespace vst
