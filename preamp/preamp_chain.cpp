#include "preamp/preamp_chain.h"

#include <cmath>

#include "amp/output_limit.h"
#include "amp/oversampling.h"

namespace tavik_preamp {

void PreampChain::requestSetup(float fs)
{
    if (!(std::isfinite(fs) && fs > 0.0f)) return;
    if (fs == lastSetupRate_.load(std::memory_order_relaxed)) return;
    PreampDesign& d = designs_.back();
    for (int q = 0; q < 2; ++q) {
        const int factor = amp::oversamplingFactor(fs, q == 1);
        const double T = 1.0 / (factor * static_cast<double>(fs));
        d.quality[q] = amp::makeAmpDesign(factor, T, 1.0 / T);
    }
    d.stageEpoch = ++stageEpoch_;
    designs_.publish();
    lastSetupRate_.store(fs, std::memory_order_relaxed);
}

void PreampChain::adoptPendingSetup(bool highQ) noexcept
{
    if (designs_.fetch()) adoptedQuality_ = -1;
    const int quality = highQ ? 1 : 0;
    if (quality == adoptedQuality_) return;
    const PreampDesign& d = designs_.front();
    if (d.stageEpoch == 0) return;  // nothing was ever prepared
    if (d.stageEpoch != adoptedEpoch_) {
        restStages(d.quality[quality].oversampledRate);
        adoptedEpoch_ = d.stageEpoch;
    }
    pathLeft_.adopt(d.quality[quality]);
    pathRight_.adopt(d.quality[quality]);
    adoptedQuality_ = quality;
}

void PreampChain::restStages(double rate) noexcept
{
    pathLeft_.setupStages(rate);
    pathRight_.setupStages(rate);
}

void PreampChain::process(const LiveParameters& live, float** inputs, float** outputs, int32_t frames) noexcept
{
    if (frames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;

    amp::PreampControls controls;
    controls.input = live.value(kInput);
    controls.drive1Gain = amp::driveTaper(live.value(kDrive1));
    controls.drive2Gain = amp::driveTaper(live.value(kDrive2));
    controls.low = live.value(kLow);
    controls.mid = live.value(kMid);
    controls.high = live.value(kHigh);
    controls.contour = live.value(kContour);
    const double contourGain = amp::contourLevel(controls.contour) * 0.01;
    const double T = pathLeft_.T;

    const float* inL = inputs[0];
    const float* inR = inputs[1];
    float* outL = outputs[0];
    float* outR = outputs[1];
    amp::AmpSwitches switches;

    for (int32_t i = 0; i < frames; ++i) {
        switches.channel = live.channel.load(std::memory_order_relaxed);
        switches.crunch = live.crunch.load(std::memory_order_relaxed);
        switches.boost = live.boost.load(std::memory_order_relaxed);
        switches.bright = live.bright.load(std::memory_order_relaxed);
        const bool stereo = live.stereo.load(std::memory_order_relaxed) != 0 && inR != nullptr;
        const float volume = live.value(kVolume);

        // Both inputs are read before any output is written: hosts may process in place. A sample
        // that is not a finite number plays as silence; one would otherwise poison the filter and
        // oversampler states for good.
        const float xL = std::isfinite(inL[i]) ? inL[i] : 0.0f;
        const float xR = stereo && std::isfinite(inR[i]) ? inR[i] : 0.0f;

        // A 1 kHz whisper on each input keeps the recursive filters out of denormal range on silence;
        // its phase restarts with each block because n counts down within the block.
        const int n = frames - 1 - i;
        const double guard = 1e-9 * std::sin(static_cast<double>(n) * 6283.19304 * T);
        const float x = static_cast<float>(xL + guard);

        const float yL = pathLeft_.process(x, [&](double& s) noexcept {
            s = pathLeft_.preampSection(amp::preampOnlyVoicing, switches, controls, s) * contourGain;
        });
        outL[i] = amp::limitOutput(volume * yL);

        if (!stereo) {
            outR[i] = outL[i];
            continue;
        }
        const float yR = pathRight_.process(static_cast<float>(xR + guard), [&](double& s) noexcept {
            s = pathRight_.preampSection(amp::preampOnlyVoicing, switches, controls, s) * contourGain;
        });
        outR[i] = amp::limitOutput(volume * yR);
    }
}

}  // namespace tavik_preamp
