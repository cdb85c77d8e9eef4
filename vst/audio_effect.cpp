#include "vst/audio_effect.h"

#include "realtime/flush_to_zero.h"

namespace vst {

namespace {

AudioEffect* effectOf(AEffect* e) noexcept {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

intptr_t dispatchTrampoline(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                            float opt) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    try {
        intptr_t result = effect->dispatcher(opcode, index, value, ptr, opt);
        if (opcode == effClose) {
            delete effect;
            return 1;
        }
        return result;
    } catch (...) {
        return 0;
    }
}

void processTrampoline(AEffect* e, float** inputs, float** outputs, int32_t frames) {
    AudioEffect* effect = effectOf(e);
    if (!effect || !inputs || !outputs || frames <= 0) return;
    realtime::ScopedFlushToZero flush;
    try {
        effect->processReplacing(inputs, outputs, frames);
    } catch (...) {
    }
}

// The old accumulating call and the double-precision call are not supported: they leave the outputs alone.
void accumulateTrampoline(AEffect*, float**, float**, int32_t) {}
void processDoubleTrampoline(AEffect*, double**, double**, int32_t) {}

void setParameterTrampoline(AEffect* e, int32_t index, float value) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return;
    try {
        effect->setParameter(index, value);
    } catch (...) {
    }
}

float getParameterTrampoline(AEffect* e, int32_t index) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0.0f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

}  // namespace

AudioEffect::AudioEffect(AudioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams) noexcept
    : audioMaster_(audioMaster) {
    effect_.magic = kEffectMagic;
    effect_.dispatcher = dispatchTrampoline;
    effect_.process = accumulateTrampoline;
    effect_.setParameter = setParameterTrampoline;
    effect_.getParameter = getParameterTrampoline;
    effect_.numPrograms = numPrograms;
    effect_.numParams = numParams;
    effect_.numInputs = 1;
    effect_.numOutputs = 2;
    effect_.flags = 0;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = fourCC("NoEf");
    effect_.version = 1;
    effect_.processReplacing = processTrampoline;
    effect_.processDoubleReplacing = processDoubleTrampoline;
}

AudioEffect::~AudioEffect() {
    delete editor_;
}

void AudioEffect::setEditor(AEffEditor* editor) noexcept {
    // The effect owns its editor: one that is replaced goes.
    if (editor_ != editor) delete editor_;
    editor_ = editor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(int32_t flag, bool on) noexcept {
    if (on)
        effect_.flags |= flag;
    else
        effect_.flags &= ~flag;
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) noexcept {
    if (!audioMaster_) return 0;
    return audioMaster_(&effect_, opcode, index, value, ptr, opt);
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

float AudioEffect::updateSampleRate() noexcept {
    intptr_t answer = callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    if (answer > 0) sampleRate_ = static_cast<float>(answer);
    return sampleRate_;
}

intptr_t AudioEffect::getMasterVersion() noexcept {
    return callHost(audioMasterVersion, 0, 0, nullptr, 0.0f);
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < effect_.numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr) getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr) getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        if (editor_ && ptr) return editor_->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        return editor_ ? (editor_->open(ptr) ? 1 : 0) : 0;
    case effEditClose:
        if (editor_) editor_->close();
        return 0;
    case effEditIdle:
        if (editor_) editor_->idle();
        return 0;
    case effGetChunk:
        if (!ptr) return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr || value <= 0 || value > INT32_MAX) return 0;
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
        return 0;
    }
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effGetProgramNameIndexed:
        if (!ptr) return 0;
        return getProgramNameIndexed(static_cast<int32_t>(value), index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return (getAeffect()->flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
    case effGetEffectName:
        return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        return editor_ && editor_->onKeyDown(index, static_cast<int32_t>(value), opt) ? 1 : 0;
    case effEditKeyUp:
        return editor_ && editor_->onKeyUp(index, static_cast<int32_t>(value), opt) ? 1 : 0;
    case effSetEditKnobMode:
        return editor_ && editor_->setKnobMode(static_cast<int32_t>(value)) ? 1 : 0;
    case effGetCurrentMidiProgram:
        return -1;
    case effSetTotalSampleToProcess:
        return value;
    case effGetSpeakerArrangement:
        // Both arrangement pointers are handed back empty.
        if (value) *reinterpret_cast<void**>(value) = nullptr;
        if (ptr) *static_cast<void**>(ptr) = nullptr;
        return 0;
    default:
        if (opcode >= effProcessEvents) return 0;
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

bool AudioEffectX::canHostDo(const char* text) noexcept {
    return callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text), 0.0f) != 0;
}

}  // namespace vst
