// The preamp-only signal chain: two independent preamp paths (left, and right in stereo mode) between
// the host's buffers, and the sample-rate set-up that feeds them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "amp/amp_design.h"
#include "amp/amp_path.h"
#include "realtime/triple_buffer.h"
#include "preamp/preamp_record.h"

namespace tavik_preamp {

// Parameter values (index order) and switch flags (0 or 1) that parameter threads write while the
// audio thread reads them.
struct LiveParameters {
    std::array<std::atomic<float>, kNumParams> values{};
    std::atomic<int> channel{0}, crunch{0}, boost{0}, bright{0}, stereo{0}, highQ{0};

    float value(int32_t index) const noexcept { return values[index].load(std::memory_order_relaxed); }
};

// What the chain reads at every host sample.
struct PreampFrame {
    amp::AmpSwitches switches;
    bool stereo = false;  // the right input has its own path (false when there is no right input)
    float volume = 0.0f;
};

// A complete set-up for one host rate, for both qualities: the quality switch only chooses between
// them at the top of a block, so it never waits, allocates or redesigns. stageEpoch counts host-rate
// changes: the audio side puts the stages at rest whenever it differs from the one it last took.
struct PreampDesign {
    amp::AmpDesign quality[2];
    unsigned stageEpoch = 0;
};

class PreampChain {
public:
    // Oversampler states and coefficients start at zero; nothing is designed yet.
    PreampChain() noexcept = default;

    // Any thread but the audio thread, one at a time: prepares the set-up of both qualities for host
    // rate fs, which the audio side takes at its next block; the stages go back to rest there. Nothing
    // happens for the rate of the previous set-up, nor for a rate that is not a finite positive number.
    void requestSetup(float fs);

    // The holder of the audio side: takes the newest prepared set-up, if there is one, and the design
    // of the quality asked for, in constant time: factor, coefficients and (after a rate change) stage
    // rest points at once. Nothing changes while both stay as they are.
    void adoptPendingSetup(bool highQ) noexcept;

    // While no audio runs: all fourteen stages at their resting points for the oversampled `rate`.
    void restStages(double rate) noexcept;

    // The holder of the audio side, after adoptPendingSetup: reads inputs[0] (and inputs[1] in stereo
    // mode), writes outputs[0] and outputs[1]. The tone controls and drives are taken once per block;
    // switches and Volume at every sample. Stereo mode without a right input buffer plays as mono.
    void process(const LiveParameters& live, float** inputs, float** outputs, int32_t frames) noexcept;

    // What process does once it has read the live values: n samples of the left input (and of the right
    // one where a frame says stereo; inR is not read otherwise) with their frames into outL and outR.
    // countdown is the first sample's countdown within its host block (frames - 1 - index). Outputs may be
    // the inputs.
    void render(const float* inL, const float* inR, const PreampFrame* frame, int n, int countdown,
                const amp::PreampControls& controls, float* outL, float* outR) noexcept;

    // How the stages run (no wider than the processor allows; the widest is the default). All ways give the
    // same results.
    void runStagesOn(amp::StageVectors vectors) noexcept;

    const amp::AmpPath& pathLeft() const noexcept { return pathLeft_; }
    const amp::AmpPath& pathRight() const noexcept { return pathRight_; }
    int factor() const noexcept { return pathLeft_.factor; }
    double oversampledRate() const noexcept { return pathLeft_.oversampledRate; }
    float lastSetupRate() const noexcept { return lastSetupRate_.load(std::memory_order_relaxed); }

private:
    // One path over n samples x (each with its switches), for the samples where `active` is set; y gets its
    // outputs there. lastSection is the channel section the path last ran (-1 before it first ran); one taken
    // up again starts from rest. lastVolume is the Volume of the path's last sample; `volumes` each sample's.
    static void runPath(amp::AmpPath& path, int& lastSection, float& lastVolume, const float* volumes,
                        const float* x, const amp::AmpSwitches* switches, const bool* active, int n,
                        const amp::PreampControls& controls, double contourGain, float* y) noexcept;

    amp::AmpPath pathLeft_;
    amp::AmpPath pathRight_;
    int lastSectionLeft_ = -1, lastSectionRight_ = -1;
    float lastVolumeLeft_ = 0.0f, lastVolumeRight_ = 0.0f;

    realtime::TripleBuffer<PreampDesign> designs_;
    // Host rate of the last set-up; 0 so that the first set-up puts the stages at rest.
    std::atomic<float> lastSetupRate_{0.0f};
    unsigned stageEpoch_ = 0;
    // Audio side: the epoch of the stage rest points now in use, and the quality adopted.
    unsigned adoptedEpoch_ = 0;
    int adoptedQuality_ = -1;
};

}  // namespace tavik_preamp
