// The full-stack effect: the object a host talks to. It owns the programs, the live parameter state and
// every DSP block; all parameter changes pass through setParameter.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "amp/amp_design.h"
#include "realtime/audio_guard.h"
#include "realtime/triple_buffer.h"
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

    void suspend() override;
    void resume() override;

    // Editor thread: whether a load trigger arrived on the audio thread since the last call (it cannot open a
    // file selector there); the editor's idle call runs the load instead.
    bool takeDeferredLoad(int cabinet) noexcept;
    void dropDeferredLoads() noexcept;

    // Read-only views for tests and the editor.
    const ProgramRecord& program(int index) const noexcept { return programs_[index]; }
    double channelMemory(int entry) const noexcept { return memory_[entry].load(std::memory_order_relaxed); }
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
    void initPrograms() noexcept;
    void store(int32_t index, float value) noexcept;
    void remember(int32_t index, float value) noexcept;
    void recall(AmpChannel channel);
    float live(int32_t index) const noexcept { return params_[index].load(std::memory_order_relaxed); }

    // ---- audio side (the holder of guard_) ----
    // Takes the handed-over amp designs and cabinet state; false when no cabinet exists yet.
    bool adoptPending() noexcept;
    // Until the host first resumes or processes, no audio thread exists to take a change: take it at once.
    void adoptBeforeAudio() noexcept;

    // ---- writer side (writer_ held) ----
    void applyProgram(int32_t program);
    void publishAmpDesigns();
    // External impulse responses (external_ir.cpp).
    void loadExternalIr(int cabinet);
    // Brings the current program's external impulse responses to the host rate and hands them to the cabinets.
    void restoreExternalIrs();
    // The record's impulse response of one cabinet, brought from the record's rate to `rate`.
    void convertStoredIr(ProgramRecord& record, int cabinet, double rate);
    void setIrName(int cabinet, const char* name);
    // Shows `text` in the cabinet's label for a few seconds.
    void showIrMessage(int cabinet, const std::string& text);

    // Who works on the amp and the cabinets: the audio thread for one block, or a thread that replaces the
    // cabinets' buffers for a new rate. The audio thread never waits for it.
    realtime::AudioGuard guard_;
    // The thread that ran the last block; a load trigger from it is deferred to the editor.
    std::atomic<std::thread::id> audioThread_{};
    std::atomic<bool> audioStarted_{false};
    std::array<std::atomic<bool>, 2> deferredLoad_{};
    // Orders the calls that may wait or allocate (programs, chunks, rates, loads); never taken by
    // setParameter outside a load, nor by the audio thread.
    std::mutex writer_;
    // The live IR names, read by the editor's thread.
    mutable std::mutex namesMutex_;

    amp::FullStackAmp amp_;
    // The amp's designs for both qualities at the current rate, prepared with the rate and taken at the top of
    // a block; the quality switch only chooses between them, so it never waits, allocates or redesigns.
    struct AmpDesigns {
        amp::AmpDesign quality[2];
    };
    realtime::TripleBuffer<AmpDesigns> ampDesigns_;
    int adoptedQuality_ = -1;  // audio side

    cabinet::CabinetSection cabinet_;
    // The loader's own transforms, so that a response is prepared without holding writer_.
    std::unique_ptr<cabinet::RealFftPair> loadFfts_;
    std::atomic<bool> loading_{false};
    // False until the first program is applied; then re-applying the program in force changes nothing.
    bool programApplied_ = false;

    ProgramRecord programs_[kNumPrograms];
    std::array<std::atomic<float>, kNumParams> params_{};
    std::array<std::atomic<double>, kChannelMemorySize> memory_{};
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
