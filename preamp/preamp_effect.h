// The preamp-only effect: the object a host talks to. It owns the programs, the live parameter state and
// both preamp paths; all parameter changes pass through setParameter.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "realtime/audio_guard.h"

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
    void suspend() override;
    void resume() override;

    // Read-only views for tests and the editor.
    const PreampProgramRecord& program(int index) const noexcept { return programs_[index]; }
    const PreampChannelMemory& channelMemory() const noexcept { return memory_; }
    const LiveParameters& live() const noexcept { return live_; }
    PreampChannel selectedChannel() const noexcept;
    const PreampChain& chain() const noexcept { return chain_; }
    // Takes a pending sample-rate or quality set-up now instead of at the next block; for a caller
    // that owns the audio thread (tests, offline use). False when the audio side is busy.
    bool adoptPendingSetup() noexcept;

private:
    void applyProgram(int32_t program);
    // Until the host first resumes or processes, no audio thread exists to take a change: take it at once.
    void adoptBeforeAudio() noexcept;

    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;
    void recall(PreampChannel channel);
    float liveValue(int32_t index) const noexcept { return live_.value(index); }

    // Who works on the chain: the audio thread for one block, or a thread applying a change before the
    // host first resumes or processes. The audio thread never waits for it.
    realtime::AudioGuard guard_;
    std::atomic<bool> audioStarted_{false};
    // Orders the calls that may wait or allocate (programs, chunks, rates); never taken by setParameter
    // nor by the audio thread.
    std::mutex writer_;
    // False until the first program is applied; then re-applying the program in force changes nothing.
    bool programApplied_ = false;

    PreampChain chain_;
    LiveParameters live_;
    PreampChannelMemory memory_{};
    PreampProgramRecord programs_[kNumPrograms];
};

}  // namespace tavik_preamp
