#include "amp/full_stack_amp.h"

#include <algorithm>
#include <cmath>

namespace amp {

FullStackAmp::FullStackAmp() noexcept
{
    adopt(makeAmpDesign(44100.0, false));
    setupStages();
    beginBlock(AmpBlockParams{});
}

void FullStackAmp::setupStages() noexcept { path_.setupStages(path_.oversampledRate); }

void FullStackAmp::adopt(const AmpDesign& design) noexcept
{
    path_.adopt(design);
    dcBlocker_.setup(design.dcBlocker);
}

void FullStackAmp::requestSetup(double fs)
{
    Designs& designs = designs_.back();
    designs.quality[0] = makeAmpDesign(fs, false);
    designs.quality[1] = makeAmpDesign(fs, true);
    designs_.publish();
}

void FullStackAmp::adoptPending(bool highQ) noexcept
{
    if (designs_.fetch()) {
        adoptedQuality_ = -1;
        prepared_ = true;
    }
    const int quality = highQ ? 1 : 0;
    if (!prepared_ || quality == adoptedQuality_) return;
    adopt(designs_.front().quality[quality]);
    adoptedQuality_ = quality;
}

void FullStackAmp::beginBlock(const AmpBlockParams& p) noexcept
{
    controls_.input = p.input;
    controls_.low = p.low;
    controls_.mid = p.mid;
    controls_.high = p.high;
    controls_.contour = p.contour;
    contourGain_ = contourLevel(p.contour) * 0.015;
    powerAmpGain_ = 0.9 * p.powerAmp + 0.1;
}

void FullStackAmp::process(const float* in, const AmpSampleControls* controls, int n, int countdown,
                           double* out) noexcept
{
    // Runs of equal controls, so that a switch or drive change takes effect at the very sample it is read for.
    for (int start = 0; start < n;) {
        int end = start + 1;
        const int limit = std::min(n, start + AmpPath::kMaxRun);
        while (end < limit && controls[end] == controls[start]) ++end;
        processRun(in + start, controls[start], end - start, countdown - start, out + start);
        start = end;
    }
}

void FullStackAmp::processRun(const float* in, const AmpSampleControls& run, int n, int countdown,
                              double* out) noexcept
{
    // A 1 kHz whisper keeps the recursive filters out of denormal range on silent input.
    double guard[AmpPath::kMaxRun];
    float x[AmpPath::kMaxRun];
    for (int i = 0; i < n; ++i) {
        guard[i] = 1e-8 * path_.guard(countdown - i);
        x[i] = static_cast<float>(in[i] + guard[i]);
    }

    PreampControls c = controls_;
    c.drive1Gain = run.drive1Gain;
    c.drive2Gain = run.drive2Gain;
    const double contourGain = contourGain_, powerAmpGain = powerAmpGain_;
    const PowerAmpCell* cells = powerAmpCells_;
    path_.upsample(x, n);
    path_.runChain(path_.oversampled(), n * path_.factor, fullStackVoicing, run.switches, c, [&](double s) noexcept {
        s = s * contourGain * powerAmpGain;
        s = powerAmpCurve(cells, s);
        return dcBlocker_.process(s);
    });
    float z[AmpPath::kMaxRun];
    path_.downsample(z, n);

    const bool clean = run.switches.channel == 0 && run.switches.crunch == 0;
    for (int i = 0; i < n; ++i) {
        const double y = z[i] + guard[i];
        out[i] = clean ? 2.0 * y : y;
    }
}

} // namespace amp
