// The host adapter: turns the VST 2.4 effect record and dispatcher into virtual operations of an effect
// class. No exception thrown by an effect crosses back into the host.
#pragma once

#include <atomic>
#include <cstdint>

#include "vst/aeff_editor.h"
#include "vst/aeffect.h"

namespace vst {

class AudioEffect {
public:
    AudioEffect(AudioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams) noexcept;
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() noexcept { return &effect_; }
    AEffEditor* getEditor() const noexcept { return editor_; }
    // Takes ownership; the adapter deletes the editor with the effect, and a replaced editor at once.
    void setEditor(AEffEditor* editor) noexcept;

    // Host-facing operations an effect overrides.
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate_ = rate; }
    virtual void setBlockSize(int32_t size) { blockSize_ = size; }
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void setParameter(int32_t index, float value) { (void)index; (void)value; }
    virtual float getParameter(int32_t index) { (void)index; return 0.0f; }
    virtual void setProgram(int32_t program) { currentProgram_ = program; }
    virtual int32_t getProgram() { return currentProgram_; }
    virtual void setProgramName(char* name) { (void)name; }
    virtual void getProgramName(char* name) { if (name) name[0] = '\0'; }
    virtual void getParameterLabel(int32_t index, char* label) { (void)index; (void)label; }
    virtual void getParameterDisplay(int32_t index, char* text) { (void)index; (void)text; }
    virtual void getParameterName(int32_t index, char* text) { (void)index; (void)text; }
    virtual int32_t getChunk(void** data, bool isPreset) { (void)data; (void)isPreset; return 0; }
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset) {
        (void)data; (void)byteSize; (void)isPreset;
        return 0;
    }
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    // Services of the host, for the effect and its editor. Each answers 0 without a host callback.
    // Applies the change, then reports it to the host as automation.
    virtual void setParameterAutomated(int32_t index, float value);
    // Asks the host for its rate; a positive answer replaces the stored rate. Returns the stored rate.
    float updateSampleRate() noexcept;
    intptr_t getMasterVersion() noexcept;
    intptr_t callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) noexcept;

    float getSampleRate() const noexcept { return sampleRate_; }
    int32_t getBlockSize() const noexcept { return blockSize_; }
    int32_t numPrograms() const noexcept { return effect_.numPrograms; }
    int32_t numParams() const noexcept { return effect_.numParams; }
    int32_t initialDelay() const noexcept { return effect_.initialDelay; }

protected:
    void setNumInputs(int32_t n) noexcept { effect_.numInputs = n; }
    void setNumOutputs(int32_t n) noexcept { effect_.numOutputs = n; }
    void setUniqueID(int32_t id) noexcept { effect_.uniqueID = id; }
    void canProcessReplacing(bool yes = true) noexcept { setFlag(effFlagsCanReplacing, yes); }
    void programsAreChunks(bool yes = true) noexcept { setFlag(effFlagsProgramChunks, yes); }
    void setFlag(int32_t flag, bool on) noexcept;
    // The samples every output lags its input, as hosts that compensate plug-in delay read it.
    void setInitialDelay(int32_t samples) noexcept { effect_.initialDelay = samples; }
    // Tells the host the delay changed; true when it took the news.
    bool ioChanged() noexcept { return callHost(audioMasterIOChanged, 0, 0, nullptr, 0.0f) != 0; }

    AudioMasterCallback audioMaster_;
    AEffEditor* editor_ = nullptr;
    // Hosts read and write these from any thread.
    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<int32_t> blockSize_{1024};
    std::atomic<int32_t> currentProgram_{0};

private:
    AEffect effect_{};
};

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text) {
        (void)category; (void)index; (void)text;
        return false;
    }
    virtual bool getEffectName(char* name) { (void)name; return false; }
    virtual bool getVendorString(char* text) { (void)text; return false; }
    virtual bool getProductString(char* text) { (void)text; return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual int32_t canDo(const char* text) { (void)text; return 0; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual bool canParameterBeAutomated(int32_t index) { (void)index; return true; }

    // True when the host answers its can-do query for text.
    bool canHostDo(const char* text) noexcept;
};

}  // namespace vst
