// The full-stack effect: the object a host talks to. It owns the programs, the live parameter state and
// every DSP block; all parameter changes pass through the shared effect's one path (effect/effect.h).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "amp/full_stack_amp.h"
#include "cabinet/cabinet_section.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "effect/channel_memory.h"
#include "effect/effect.h"
#include "shell/parameter_table.h"
#include "shell/program_record.h"

namespace tavik {

struct FullStackTraits {
    using Record = ProgramRecord;
    static constexpr int kPrograms = kNumPrograms;
    static constexpr int32_t kParams = kNumParams;
    static constexpr int kNameLength = kProgramNameLen;
    static void repair(Record& record) noexcept;
    static constexpr const ParameterInfo& parameterInfo(int32_t index) noexcept { return kParameterTable[index]; }
    static constexpr const char* kEffectName = "Tavik_FullStack_v1_04";
    static constexpr const char* kVendor = "Mirad Plugins";
    static constexpr int32_t kVendorVersion = 1040;
};

class Tavik final : public effect::Effect<FullStackTraits> {
public:
    explicit Tavik(vst::AudioMasterCallback audioMaster);
    ~Tavik() override;

    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void resume() override;

    // Editor thread: whether a load trigger arrived on the audio thread since the last call (it cannot open a
    // file selector there); the editor's idle call runs the load instead.
    bool takeDeferredLoad(int cabinet) noexcept;
    void dropDeferredLoads() noexcept;
    // Off the audio thread: loads a WAV file as a cabinet's (0 or 1) external response into the current
    // program, as the load trigger does with the file the user picks; the cabinet takes it at the top of a
    // block. False when the file cannot be used (cabinet, program and name stay as they were) or another load
    // is running.
    bool loadIrFile(int cabinet, const std::string& path);

    // Read-only views for tests and the editor.
    double channelMemory(int entry) const noexcept { return memory_.at(entry); }
    double drive1Gain() const noexcept { return drive1Gain_.load(std::memory_order_relaxed); }
    double drive2Gain() const noexcept { return drive2Gain_.load(std::memory_order_relaxed); }
    AmpChannel selectedChannel() const noexcept;
    const amp::FullStackAmp& ampModel() const noexcept { return amp_; }
    const cabinet::CabinetSection& cabinets() const noexcept { return cabinet_; }
    // What the IR label of a cabinet shows: for a few seconds after a refused load why it was refused, else the
    // built-in response's name while the cabinet plays it, else the name of the loaded response ("Empty" when
    // none). Safe on any thread but the audio thread.
    bool irLabelText(int cabinet, char* text, std::size_t size) const;
    // Whether the label of a cabinet shows a refused load's message now.
    bool irMessageShown(int cabinet) const;
    // The name of a cabinet's loaded response ("Empty" when none).
    std::string irName(int cabinet) const;

private:
    void apply(int32_t index, float v, effect::Changes& changes) override;
    float liveValue(int32_t index) const noexcept override { return live(index); }
    // Takes the handed-over amp designs and cabinet state; false when no cabinet exists yet.
    bool adoptPending() noexcept override;
    // writer_ held.
    void applyProgram(int32_t program) override;

    void initPrograms() noexcept;
    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;
    float live(int32_t index) const noexcept { return params_[index].load(std::memory_order_relaxed); }
    void adoptBeforeAudio() noexcept;

    // ---- writer side (writer_ held) ----
    // External impulse responses (external_ir.cpp).
    void loadExternalIr(int cabinet);
    // Reads, prepares and publishes one file; loading_ held.
    bool readChosenIr(int cabinet, const std::string& path);
    // Brings the current program's external impulse responses to the host rate and hands them to the cabinets.
    void restoreExternalIrs();
    // The record's impulse response of one cabinet, brought from the record's rate to `rate`.
    void convertStoredIr(ProgramRecord& record, int cabinet, double rate);
    void setIrName(int cabinet, const char* name);
    // Shows `text` in the cabinet's label for a few seconds.
    void showIrMessage(int cabinet, const std::string& text);

    std::array<std::atomic<bool>, 2> deferredLoad_{};
    // The live IR names, read by the editor's thread.
    mutable std::mutex namesMutex_;

    // Prepares its designs off the audio thread and takes them at the top of a block.
    amp::FullStackAmp amp_;
    cabinet::CabinetSection cabinet_;
    // The loader's own transforms, so that a response is prepared without holding writer_.
    std::unique_ptr<cabinet::RealFftPair> loadFfts_;
    std::atomic<bool> loading_{false};

    std::array<std::atomic<float>, kNumParams> params_{};
    effect::ChannelMemory<ChannelMemoryLayout> memory_;
    char irName_[2][kNameField] = {};
    std::string irMessage_[2];
    std::chrono::steady_clock::time_point irMessageUntil_[2];
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
