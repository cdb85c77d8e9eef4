// The preamp-only effect: the object a host talks to. It owns the programs, the live parameter state and
// both preamp paths; all parameter changes pass through setParameter.
#pragma once

#include <cstdint>

#include "preamp/preamp_chain.h"
#include "preamp/preamp_record.h"
#include "vst/audio_effect.h"

namespace tavik_preamp {

class Tavik final : public vst::AudioEffectX {
public:
    explicit Tavik(vst::AudioMasterCallback audioMaster);
    ~Tavik() override;

    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void setProgram(int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;

    // Read-only views for tests and the editor.
    const PreampProgramRecord& program(int index) const noexcept { return programs_[index]; }
    const PreampChannelMemory& channelMemory() const noexcept { return memory_; }
    const LiveParameters& live() const noexcept { return live_; }
    PreampChannel selectedChannel() const noexcept;
    const PreampChain& chain() const noexcept { return chain_; }
    // Takes a pending sample-rate or quality set-up now instead of at the next block; for a caller
    // that owns the audio thread (tests, offline use).
    void adoptPendingSetup() noexcept { chain_.adoptPendingSetup(); }

private:
    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;
    void recall(PreampChannel channel);
    float liveValue(int32_t index) const noexcept { return live_.value(index); }

    PreampChain chain_;
    LiveParameters live_;
    PreampChannelMemory memory_{};
    PreampProgramRecord programs_[kNumPrograms];
};

}  // namespace tavik_preamp
