#include "preamp/preamp_chain.h"

#include <algorithm>
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

void PreampChain::adoptPending(bool highQ) noexcept
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

namespace {

bool sameSwitches(const amp::AmpSwitches& a, const amp::AmpSwitches& b) noexcept
{
    return a.channel == b.channel && a.crunch == b.crunch && a.boost == b.boost && a.bright == b.bright;
}

}  // namespace

void PreampChain::runPath(amp::AmpPath& path, int& lastSection, float& lastVolume, const float* volumes,
                          const float* x, const amp::AmpSwitches* switches, const bool* active, int n,
                          const amp::PreampControls& controls, double contourGain, float* y) noexcept
{
    // Runs of equal switches (and, for the right path, of stereo mode), so that a change takes effect at
    // the very sample it is read for; samples the path is not active for leave it untouched.
    for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && active[end] == active[start] && sameSwitches(switches[end], switches[start])) ++end;
        if (active[start]) {
            const int count = end - start;
            // A section left alone has no signal in it: one taken up again starts from rest, not from the
            // middle of the swing it was cut off in.
            const int section = amp::sectionOf(switches[start]);
            if (lastSection >= 0 && section != lastSection) {
                path.restSection(switches[start]);
                // A channel recalls its own Volume, which applies at the output, while the channel left still
                // rings in the tone stack and the decimators: under a louder Volume it is scaled down by the
                // ratio, so that its tail leaves at the level it played at. Never up: Volume may move on at once.
                if (volumes[start] > lastVolume) path.scaleOutgoing(lastVolume / volumes[start]);
            }
            lastSection = section;
            lastVolume = volumes[end - 1];
            path.upsample(x + start, count);
            path.runChain(path.oversampled(), count * path.factor, amp::preampOnlyVoicing, switches[start], controls,
                          [contourGain](double s) noexcept { return s * contourGain; });
            path.downsample(y + start, count);
        }
        start = end;
    }
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

    const float* inR = inputs[1];
    constexpr int32_t kRun = amp::AmpPath::kMaxRun;
    PreampFrame frame[kRun];
    for (int32_t start = 0; start < frames; start += kRun) {
        const int32_t count = std::min(kRun, frames - start);
        // Switches, stereo mode and Volume are read for every sample.
        for (int32_t k = 0; k < count; ++k)
            frame[k] = {{live.channel.load(std::memory_order_relaxed), live.crunch.load(std::memory_order_relaxed),
                         live.boost.load(std::memory_order_relaxed), live.bright.load(std::memory_order_relaxed)},
                        live.stereo.load(std::memory_order_relaxed) != 0 && inR != nullptr,
                        live.value(kVolume)};
        render(inputs[0] + start, inR ? inR + start : nullptr, frame, count, frames - 1 - start, controls,
               outputs[0] + start, outputs[1] + start);
    }
}

void PreampChain::render(const float* inL, const float* inR, const PreampFrame* frame, int n, int countdown,
                         const amp::PreampControls& controls, float* outL, float* outR) noexcept
{
    const double contourGain = amp::contourLevel(controls.contour) * 0.01;
    // Each path works a run of samples at a time.
    constexpr int kRun = amp::AmpPath::kMaxRun;
    amp::AmpSwitches switches[kRun];
    bool stereo[kRun];
    bool left[kRun];
    float xL[kRun], xR[kRun], yL[kRun], yR[kRun], volumes[kRun];
    for (int start = 0; start < n; start += kRun) {
        const int count = std::min(kRun, n - start);
        for (int k = 0; k < count; ++k) {
            const int i = start + k;
            switches[k] = frame[i].switches;
            stereo[k] = frame[i].stereo;
            left[k] = true;
            volumes[k] = frame[i].volume;

            // Both inputs are read before any output is written: hosts may process in place. A sample
            // that is not a finite number plays as silence; one would otherwise poison the filter and
            // oversampler states for good.
            const float inLeft = std::isfinite(inL[i]) ? inL[i] : 0.0f;
            const float inRight = stereo[k] && std::isfinite(inR[i]) ? inR[i] : 0.0f;

            // A 1 kHz whisper on each input keeps the recursive filters out of denormal range on silence;
            // its phase restarts with each block because the countdown runs down within the block.
            const double guard = 1e-9 * pathLeft_.guard(countdown - i);
            xL[k] = static_cast<float>(inLeft + guard);
            xR[k] = static_cast<float>(inRight + guard);
        }
        runPath(pathLeft_, lastSectionLeft_, lastVolumeLeft_, volumes, xL, switches, left, count, controls, contourGain, yL);
        runPath(pathRight_, lastSectionRight_, lastVolumeRight_, volumes, xR, switches, stereo, count, controls, contourGain, yR);
        for (int k = 0; k < count; ++k) {
            const int i = start + k;
            outL[i] = amp::limitOutput(frame[i].volume * yL[k]);
            outR[i] = stereo[k] ? amp::limitOutput(frame[i].volume * yR[k]) : outL[i];
        }
    }
}

void PreampChain::runStagesOn(amp::StageVectors vectors) noexcept
{
    pathLeft_.stageVectors = std::min(vectors, amp::AmpPath::widestStageVectors());
    pathRight_.stageVectors = pathLeft_.stageVectors;
}

}  // namespace tavik_preamp
