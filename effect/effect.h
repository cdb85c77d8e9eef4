// What both plug-ins' effect objects share: the program bank and its chunk, the program and parameter
// texts, the identity a host reads, the audio side and the one path every parameter change takes.
//
// Where state lives and who may touch it:
//  - the records (bank_) and the live values are written together, by `store` in the effect, from whatever
//    thread changes a parameter; program switches, chunks, rates and loads take writer_ first, so at most one
//    of them rebuilds at a time; the audio thread never takes writer_;
//  - the live values and switches are atomics, read by the audio thread per block or per sample;
//  - everything larger reaches the DSP blocks through their own handover, taken in adoptPending at the top of
//    a block, by the audio thread (or, before audio first runs, by the caller through audio_).
//
// Traits: Record (with a `char name[]`), kPrograms, kParams, kNameLength, repair(Record&) noexcept,
// parameterInfo(index), kEffectName, kVendor, kVendorVersion.
#pragma once

#include <cstdint>
#include <mutex>

#include "effect/audio_side.h"
#include "effect/parameter_info.h"
#include "effect/program_bank.h"
#include "vst/audio_effect.h"
#include "vst/value_format.h"

namespace effect {

// The parameters one change touched (those it set in turn, then the one set), each told to the editor once,
// in the order they were first done.
class Changes {
public:
    void add(int32_t index) noexcept
    {
        const std::uint64_t bit = std::uint64_t{1} << index;
        if (bits_ & bit) return;
        bits_ |= bit;
        order_[count_++] = index;
    }
    const int32_t* begin() const noexcept { return order_; }
    const int32_t* end() const noexcept { return order_ + count_; }

private:
    std::uint64_t bits_ = 0;
    int32_t order_[64];
    int count_ = 0;
};

template <class Traits>
class Effect : public vst::AudioEffectX {
public:
    using Record = typename Traits::Record;
    using Bank = ProgramBank<Record, Traits::kPrograms, Traits::kNameLength, Traits::repair>;
    static constexpr int32_t kParams = Traits::kParams;
    static_assert(kParams <= 64, "Changes holds 64 parameters");

    explicit Effect(vst::AudioMasterCallback audioMaster) : AudioEffectX(audioMaster, Traits::kPrograms, kParams)
    {
        canProcessReplacing();
        programsAreChunks();
        setNumInputs(2);
        setNumOutputs(2);
    }

    // Any thread, the audio thread included: never locks, allocates or waits (the effect's apply may make an
    // exception for a request that needs a file, and says so). A value set to what it already is changes
    // nothing audible.
    void setParameter(int32_t index, float value) final
    {
        const float v = vst::clampUnit(value);
        if (!validParameter(index)) {
            if (editor_) editor_->setParameter(index, v);
            return;
        }
        Changes changes;
        change(index, v, changes);
        audio_.adoptBeforeAudio([this]() noexcept { adoptPending(); });
        tell(changes);
    }

    float getParameter(int32_t index) final
    {
        if (!validParameter(index) || !Traits::parameterInfo(index).hasValue) return 0.0f;
        return liveValue(index);
    }

    void getParameterName(int32_t index, char* text) final
    {
        if (validParameter(index)) writeName(Traits::parameterInfo(index), text);
    }
    void getParameterLabel(int32_t index, char* label) final
    {
        if (validParameter(index)) writeLabel(Traits::parameterInfo(index), label);
    }
    void getParameterDisplay(int32_t index, char* text) final
    {
        if (validParameter(index)) writeDisplay(Traits::parameterInfo(index), liveValue(index), text);
    }

    void setProgram(int32_t program) final
    {
        if (!Bank::valid(program)) return;
        std::lock_guard<std::mutex> lock(writer_);
        // The program in force, chosen again (hosts do it on every session load): nothing changes.
        if (programApplied_ && program == currentProgram_) return;
        selectProgram(program);
    }
    void setProgramName(char* name) final { bank_.setName(currentProgram_, name); }
    void getProgramName(char* name) final { bank_.getName(currentProgram_, name); }
    bool getProgramNameIndexed(int32_t, int32_t index, char* text) final { return bank_.getNameIndexed(index, text); }

    int32_t getChunk(void** data, bool isPreset) final { return bank_.getChunk(currentProgram_, data, isPreset); }
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) final
    {
        if (!data) return 0;
        std::lock_guard<std::mutex> lock(writer_);
        const auto taken = bank_.takeChunk(currentProgram_, data, byteSize, isPreset);
        if (taken == Bank::Taken::Refused) return 0;
        if (taken == Bank::Taken::Changed || !programApplied_) selectProgram(currentProgram_);
        return 1;
    }

    bool getEffectName(char* name) final { return identity(name, vst::kVstMaxEffectNameLen); }
    bool getProductString(char* text) final { return identity(text, vst::kVstMaxProductStrLen); }
    bool getVendorString(char* text) final
    {
        if (!text) return false;
        vst::copyText(text, Traits::kVendor, vst::kVstMaxVendorStrLen);
        return true;
    }
    int32_t getVendorVersion() final { return Traits::kVendorVersion; }

    // Hosts may go on processing between suspend and resume: what arrives meanwhile takes the path it takes
    // at any other time.
    void suspend() override {}
    void resume() override { audio_.started(); }

    // Read-only view for tests and the editor.
    const Record& program(int index) const noexcept { return bank_[index]; }

protected:
    static bool validParameter(int32_t index) noexcept { return index >= 0 && index < kParams; }

    // The one path of a parameter change (clamped to 0..1): the host's call, the editor's, a program's replay
    // and the couplings between parameters all go through it (by `change`, which notes the index in `changes`).
    virtual void apply(int32_t index, float v, Changes& changes) = 0;
    virtual float liveValue(int32_t index) const noexcept = 0;
    // The holder of the audio side, at the top of a block: takes what was handed over; false when nothing may
    // be processed yet.
    virtual bool adoptPending() noexcept = 0;
    // writer_ held: makes `program` current and applies its record.
    virtual void applyProgram(int32_t program) = 0;

    // Applies one change and notes it; what apply sets in turn goes through here as well.
    void change(int32_t index, float v, Changes& changes)
    {
        apply(index, v, changes);
        changes.add(index);
    }

    // writer_ held (or the constructor): applies a program; from then on re-applying the one in force is
    // inaudible.
    void selectProgram(int32_t program)
    {
        applyProgram(program);
        programApplied_ = true;
    }

    // Tells the editor of each changed parameter once.
    void tell(const Changes& changes)
    {
        if (!editor_) return;
        for (int32_t index : changes) editor_->setParameter(index, liveValue(index));
    }

    Bank bank_;
    AudioSide audio_;
    // Orders the calls that may wait or allocate (programs, chunks, rates, loads); never taken by the audio
    // thread.
    std::mutex writer_;

private:
    bool identity(char* text, int maxLength) noexcept
    {
        if (!text) return false;
        vst::copyText(text, Traits::kEffectName, maxLength);
        return true;
    }

    bool programApplied_ = false;
};

}  // namespace effect
