// The preamp-only signal chain: two independent preamp paths (left, and right in stereo mode) between
// the host's buffers, and the sample-rate set-up that feeds them.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "amp/amp_design.h"
#include "amp/amp_path.h"
#include "amp/design_handover.h"
#include "preamp/preamp_record.h"

namespace tavik_preamp {

// Parameter values (index order) and switch flags (0 or 1) that parameter threads write while the
// audio thread reads them.
struct LiveParameters {
    std::array<std::atomic<float>, kNumParams> values{};
    std::atomic<int> channel{0}, crunch{0}, boost{0}, bright{0}, stereo{0}, highQ{0};

    float value(int32_t index) const noexcept { return values[index].load(std::memory_order_relaxed); }
};

// A complete set-up for one host rate and quality. stageEpoch counts host-rate changes: the audio
// thread puts the stages at rest whenever it differs from the one it last took, so a rate change is
// not lost when a quality toggle is published on top of it before the next block.
struct PreampDesign {
    amp::AmpDesign amp;
    unsigned stageEpoch = 0;
};

class PreampChain {
public:
    // Oversampler states and coefficients start at zero; nothing is designed yet.
    PreampChain() noexcept = default;

    // Any thread but the audio thread: prepares the set-up for host rate fs and the quality switch.
    // The stages go back to rest only if fs differs from the rate of the previous set-up. A rate that
    // is not a finite positive number is ignored. The audio thread takes the result at its next block.
    void requestSetup(float fs, bool highQ);

    // Audio thread, or any thread while no audio runs: takes the newest prepared set-up, if there is
    // one, in constant time: factor, coefficients and (after a rate change) stage rest points at once.
    void adoptPendingSetup() noexcept;

    // While no audio runs: all fourteen stages at their resting points for the oversampled `rate`.
    void restStages(double rate) noexcept;

    // Reads inputs[0] (and inputs[1] in stereo mode), writes outputs[0] and outputs[1]. The tone
    // controls and drives are taken once per block; switches and Volume at every sample. Stereo mode
    // without a right input buffer plays as mono.
    void process(const LiveParameters& live, float** inputs, float** outputs, int32_t frames) noexcept;

    const amp::AmpPath& pathLeft() const noexcept { return pathLeft_; }
    const amp::AmpPath& pathRight() const noexcept { return pathRight_; }
    int factor() const noexcept { return pathLeft_.factor; }
    double oversampledRate() const noexcept { return pathLeft_.oversampledRate; }
    float lastSetupRate() const;

private:
    amp::AmpPath pathLeft_;
    amp::AmpPath pathRight_;

    amp::TripleBuffer<PreampDesign> designs_;
    // Orders writers on non-audio threads; the audio thread never takes it.
    mutable std::mutex writer_;
    // Host rate of the last set-up; 0 so that the first set-up puts the stages at rest.
    float lastSetupRate_ = 0.0f;
    unsigned stageEpoch_ = 0;
    // Audio side: the epoch of the stage rest points now in use.
    unsigned adoptedEpoch_ = 0;
};

}  // namespace tavik_preamp
