#include "preamp/preamp_chain.h"

#include <cmath>

#include "amp/oversampling.h"

namespace tavik_preamp {

void PreampChain::requestSetup(float fs, bool highQ)
{
    if (!(std::isfinite(fs) && fs > 0.0f)) return;
    const int factor = amp::oversamplingFactor(fs, highQ);
    const double T = 1.0 / (factor * static_cast<double>(fs));

    std::lock_guard<std::mutex> lock(writer_);
    if (fs != lastSetupRate_) ++stageEpoch_;
    PreampDesign& d = designs_.back();
    d.amp = amp::makeAmpDesign(factor, T, 1.0 / T);
    d.stageEpoch = stageEpoch_;
    designs_.publish();
    lastSetupRate_ = fs;
}

float PreampChain::lastSetupRate() const
{
    std::lock_guard<std::mutex> lock(writer_);
    return lastSetupRate_;
}

void PreampChain::adoptPendingSetup() noexcept
{
    if (!designs_.fetch()) return;
    const PreampDesign& d = designs_.front();
    if (d.stageEpoch != adoptedEpoch_) {
        restStages(d.amp.oversampledRate);
        adoptedEpoch_ = d.stageEpoch;
    }
    pathLeft_.adopt(d.amp);
    pathRight_.adopt(d.amp);
}

void PreampChain::restStages(double rate) noexcept
{
    pathLeft_.setupStages(rate);
    pathRight_.setupStages(rate);
}

void PreampChain::process(const LiveParameters& live, float** inputs, float** outputs, int32_t frames) noexcept
{
    if (frames <= 0 || !inputs || !inputs[0] || !outputs || !outputs[0] || !outputs[1]) return;
    adoptPendingSetup();

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

        // A 1 kHz whisper on the left input keeps the recursive filters out of denormal range on
        // silence; its phase restarts with each block because n counts down within the block.
        const int n = frames - 1 - i;
        const double guard = 1e-9 * std::sin(static_cast<double>(n) * 6283.19304 * T);
        const float x = static_cast<float>(xL + guard);

        const float yL = pathLeft_.process(x, [&](double& s) noexcept {
            s = pathLeft_.preampSection(amp::preampOnlyVoicing, switches, controls, s) * contourGain;
        });
        outL[i] = volume * yL;

        if (!stereo) {
            outR[i] = volume * yL;
            continue;
        }
        const float yR = pathRight_.process(xR, [&](double& s) noexcept {
            s = pathRight_.preampSection(amp::preampOnlyVoicing, switches, controls, s) * contourGain;
        });
        outR[i] = volume * yR;
    }
}

}  // namespace tavik_preamp
