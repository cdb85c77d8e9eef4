// The preamp-only effect: the object a host talks to. It owns the programs, the live parameter state and
// both preamp paths; all parameter changes pass through the shared effect's one path (effect/effect.h).
#pragma once

#include <cstdint>

#include "effect/channel_memory.h"
#include "effect/effect.h"
#include "preamp/preamp_chain.h"
#include "preamp/preamp_parameters.h"
#include "preamp/preamp_record.h"

namespace tavik_preamp {

struct PreampTraits {
    using Record = PreampProgramRecord;
    static constexpr int kPrograms = kNumPrograms;
    static constexpr int32_t kParams = kNumParams;
    static constexpr int kNameLength = kMaxNameLength;
    static void repair(Record& record) noexcept { repairRecord(record); }
    static constexpr const ParameterInfo& parameterInfo(int32_t index) noexcept { return kParameterTable[index]; }
    static constexpr const char* kEffectName = "Tavik_PreAmp_v2";
    static constexpr const char* kVendor = "Mirad Plugins";
    static constexpr int32_t kVendorVersion = 2000;
};

class Tavik final : public effect::Effect<PreampTraits> {
public:
    explicit Tavik(vst::AudioMasterCallback audioMaster);
    ~Tavik() override;

    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;

    // Read-only views for tests and the editor.
    PreampChannelMemory channelMemory() const noexcept;
    const LiveParameters& live() const noexcept { return live_; }
    PreampChannel selectedChannel() const noexcept;
    const PreampChain& chain() const noexcept { return chain_; }
    // Takes a pending sample-rate or quality set-up now instead of at the next block; for a caller
    // that owns the audio thread (tests, offline use). False when the audio side is busy.
    bool adoptPendingNow() noexcept;

private:
    void apply(int32_t index, float v, effect::Changes& changes) override;
    float liveValue(int32_t index) const noexcept override { return live_.value(index); }
    bool adoptPending() noexcept override;
    void applyProgram(int32_t program) override;

    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;

    PreampChain chain_;
    LiveParameters live_;
    effect::ChannelMemory<PreampChannelMemory> memory_;
};

}  // namespace tavik_preamp
