// The full-stack effect: the object a host talks to. It owns the programs, the live parameter state and
// every DSP block; all parameter changes pass through setParameter.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "amp/amp_design.h"
#include "amp/design_handover.h"
#include "amp/full_stack_amp.h"
#include "cabinet/cabinet_section.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "shell/program_record.h"
#include "vst/audio_effect.h"

namespace tavik {

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
    const ProgramRecord& program(int index) const noexcept { return programs_[index]; }
    double channelMemory(int entry) const noexcept { return memory_[entry]; }
    double drive1Gain() const noexcept { return drive1Gain_.load(std::memory_order_relaxed); }
    double drive2Gain() const noexcept { return drive2Gain_.load(std::memory_order_relaxed); }
    AmpChannel selectedChannel() const noexcept;
    const amp::FullStackAmp& ampModel() const noexcept { return amp_; }
    cabinet::CabinetSection& cabinets() noexcept { return cabinet_; }
    const char* irName(int cabinet) const noexcept { return irName_[cabinet]; }
    const char* builtinIrName(int cabinet) const noexcept { return builtinName_[cabinet]; }

private:
    void initPrograms() noexcept;
    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;
    void recall(AmpChannel channel);
    float live(int32_t index) const noexcept { return params_[index].load(std::memory_order_relaxed); }
    // Prepares the amp's design for the current rate and quality and hands it to the audio thread.
    void requestAmpDesign();
    void applySourceSwitch(int cabinet, float value);

    // External impulse responses (external_ir.cpp).
    void loadExternalIr(int cabinet);
    // Brings the current program's external impulse responses to the host rate and into the cabinets.
    void restoreExternalIrs();
    // The record's impulse response of one cabinet, brought from the record's rate to `rate`.
    void convertStoredIr(ProgramRecord& record, int cabinet, double rate);

    amp::FullStackAmp amp_;
    // A new amp design (sample rate or quality change) reaches the audio thread through this buffer and
    // is adopted at the top of the next block: factor and coefficients change together, and neither
    // side ever waits for the other. The mutex only orders writers on non-audio threads.
    amp::TripleBuffer<amp::AmpDesign> ampDesigns_;
    std::mutex ampDesignWriter_;

    cabinet::CabinetSection cabinet_;
    std::atomic<int> sourceFlag_[2] = {0, 0};
    // True while a program switch replays its stored values.
    bool applyingProgram_ = false;

    ProgramRecord programs_[kNumPrograms];
    std::array<std::atomic<float>, kNumParams> params_{};
    double memory_[kChannelMemorySize] = {};
    char irName_[2][kNameField] = {};
    char builtinName_[2][kNameField] = {};

    // Switches and derived values the audio thread reads while other threads write them.
    std::atomic<int> channelFlag_{0};
    std::atomic<int> crunchFlag_{0};
    std::atomic<int> boostFlag_{0};
    std::atomic<int> brightFlag_{0};
    std::atomic<int> highQFlag_{0};
    std::atomic<int> stereoLinkFlag_{0};
    std::atomic<double> drive1Gain_{0.0};
    std::atomic<double> drive2Gain_{0.0};
};

}  // namespace tavik
