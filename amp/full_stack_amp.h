// The full-stack plug-in's amp: one preamp path followed by the power-amp curve and DC blocker,
// host samples in, ampOutputSamples out.
#pragma once

#include <algorithm>

#include "amp/amp_design.h"
#include "amp/amp_path.h"
#include "amp/dc_blocker.h"
#include "amp/power_amp_curve.h"
#include "realtime/triple_buffer.h"

namespace amp {

// Controls read once per block (0..1).
struct AmpBlockParams {
    double input = 0, low = 0, mid = 0, high = 0, contour = 0, powerAmp = 0;
};

// What the amp reads at every host sample.
struct AmpSampleControls {
    AmpSwitches switches;
    double drive1Gain = 0;
    double drive2Gain = 0;

    bool operator==(const AmpSampleControls& o) const noexcept
    {
        return switches.channel == o.switches.channel && switches.crunch == o.switches.crunch
               && switches.boost == o.switches.boost && switches.bright == o.switches.bright
               && drive1Gain == o.drive1Gain && drive2Gain == o.drive2Gain;
    }
};

class FullStackAmp {
public:
    // Ready to run at 44100 Hz, LowQ, stages at rest.
    FullStackAmp() noexcept;

    // Returns all stages to their resting points at the current oversampled rate.
    void setupStages() noexcept;

    // Takes a complete design (factor and all coefficients together); constant time.
    void adopt(const AmpDesign& design) noexcept;

    // Any thread but the audio thread, one at a time: prepares the designs of both qualities for host rate
    // fs, which the audio side takes at its next adoptPending. The stages keep their state.
    void requestSetup(double fs);
    // The holder of the audio side, at the top of a block: takes the newest prepared designs, if any, and the
    // design of the quality asked for, in constant time. Nothing changes while both stay as they are, so the
    // quality switch never waits, allocates or redesigns.
    void adoptPending(bool highQ) noexcept;

    void beginBlock(const AmpBlockParams& params) noexcept;

    // n host samples in[0..n) with their controls, out[0..n) the ampOutputSamples. countdown is the first
    // sample's countdown within the host block (frames - 1 - index), which sets the phase of the denormal
    // guard; it counts down along the samples. The result is the same for any split of a host block into
    // calls, and the same as taking each sample through the whole amp in turn.
    void process(const float* in, const AmpSampleControls* controls, int n, int countdown, double* out) noexcept;

    // How the stages run (no wider than the processor allows; the widest is the default). All ways give the
    // same results.
    void runStagesOn(StageVectors vectors) noexcept
    {
        path_.stageVectors = std::min(vectors, AmpPath::widestStageVectors());
    }

    int factor() const noexcept { return path_.factor; }
    double oversampledRate() const noexcept { return path_.oversampledRate; }
    double contourGain() const noexcept { return contourGain_; }
    double powerAmpGain() const noexcept { return powerAmpGain_; }

    const AmpPath& path() const noexcept { return path_; }
    const DcBlocker& dcBlocker() const noexcept { return dcBlocker_; }

private:
    // A run of at most AmpPath::kMaxRun samples whose controls are all the same.
    void processRun(const float* in, const AmpSampleControls& controls, int n, int countdown, double* out) noexcept;

    struct Designs {
        AmpDesign quality[2];
    };
    realtime::TripleBuffer<Designs> designs_;
    // Audio side: the quality adopted (-1: none since the last fetch), and whether anything was ever prepared.
    int adoptedQuality_ = -1;
    bool prepared_ = false;

    AmpPath path_;
    DcBlocker dcBlocker_;
    const PowerAmpCell* powerAmpCells_ = powerAmpCells().data(); // built here rather than on the audio thread
    PreampControls controls_;
    double contourGain_ = 0;
    double powerAmpGain_ = 0;
};

} // namespace amp
