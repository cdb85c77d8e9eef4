// The full-stack plug-in's amp: one preamp path followed by the power-amp curve and DC blocker,
// host sample in, ampOutputSample out.
#pragma once

#include "amp/amp_design.h"
#include "amp/amp_path.h"
#include "amp/dc_blocker.h"
#include "amp/power_amp_curve.h"

namespace amp {

// Controls read once per block (0..1).
struct AmpBlockParams {
    double input = 0, low = 0, mid = 0, high = 0, contour = 0, powerAmp = 0;
};

class FullStackAmp {
public:
    // Ready to run at 44100 Hz, LowQ, stages at rest.
    FullStackAmp() noexcept;

    // Returns all stages to their resting points at the current oversampled rate.
    void setupStages() noexcept;

    // Takes a complete design (factor and all coefficients together); constant time.
    void adopt(const AmpDesign& design) noexcept;

    void beginBlock(const AmpBlockParams& params) noexcept;

    // One host sample; n is the sample's countdown within the block (frames - 1 - i), which sets the
    // phase of the denormal guard.
    double processSample(float in, int n, const AmpSwitches& switches, double drive1Gain, double drive2Gain) noexcept;

    int factor() const noexcept { return path_.factor; }
    double oversampledRate() const noexcept { return path_.oversampledRate; }
    double contourGain() const noexcept { return contourGain_; }
    double powerAmpGain() const noexcept { return powerAmpGain_; }

    const AmpPath& path() const noexcept { return path_; }

private:
    AmpPath path_;
    DcBlocker dcBlocker_;
    const PowerAmpCell* powerAmpCells_ = powerAmpCells().data(); // built here rather than on the audio thread
    PreampControls controls_;
    double contourGain_ = 0;
    double powerAmpGain_ = 0;
};

} // namespace amp
