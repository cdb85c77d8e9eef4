// One common-cathode triode gain stage, solved explicitly per sample: closed-form grid-current
// limiter, fitted plate curve, first-order output coupling and a backward-Euler cathode RC.
#pragma once

#include <cmath>

#include "amp/triode_curve.h"

namespace amp {

// Component values of one stage (ohms, farads, volts) and the plate-voltage guess that starts the
// search for its resting point.
struct TriodeConfig {
    double Rg, Rk, Ck, Bplus, Ra, Vp0, R1, R2, Cc;
    TriodeCurve curve;
};

// The four stage designs of the preamp.
inline constexpr TriodeConfig inputStageConfig{68000, 1800, 1e-6, 360, 220000, 208, 2200000, 330000, 2.2e-8, curveB};
// First stage of the clean and crunch paths.
inline constexpr TriodeConfig channel1StageConfig{68000, 2200, 5e-9, 360, 100000, 252.9, 470000, 500000, 2.2e-8, curveA};
// First stage of channel 2.
inline constexpr TriodeConfig channel2StageConfig{470000, 1800, 1e-6, 350, 100000, 245.45, 470000, 1000000, 2.2e-8, curveC};
// Second stage of every path.
inline constexpr TriodeConfig outputStageConfig{220000, 1800, 1e-6, 378, 220000, 197, 0, 2200000, 2.2e-8, curveD};

struct TriodeStage {
    // Configuration.
    double Rg = 0, Rk = 0, Ck = 0, Bplus = 0, Ra = 0, R1 = 0, R2 = 0, Cc = 0;
    TriodeCurve curve{};
    // Derived.
    double F = 0, invTwoF = 0, invRg = 0, invRa = 0, kCathode = 0, kCoupling = 0;
    // State.
    double Vg = 0, Ig = 0, Ip = 0, Vk = 0, Vp = 0, y = 0;

    // Stores the configuration, derives the constants for `rate` and settles the resting point.
    void setup(double Rg_, double Rk_, double Ck_, double Bplus_, double Ra_, double Vp0, double R1_,
               double R2_, double Cc_, double rate, const TriodeCurve& curve_) noexcept;
    void setup(const TriodeConfig& config, double rate) noexcept;

    // Re-derives the rate-dependent constants; the state carries on.
    void setSampleRate(double rate) noexcept;

    // Grid drive in, coupled plate swing out (volts). `rate` is the current oversampled rate. Always
    // inlined: the amp's chain runs three stages side by side in its inner loop, which only pays when the
    // processor sees their instructions together.
    [[gnu::always_inline]] void process(double& sample, double rate) noexcept;
};

[[gnu::always_inline]] inline void TriodeStage::process(double& sample, double rate) noexcept
{
    const double x = sample;

    // Grid: above the cathode it conducts, with a grid current of 0.00375*(Vg - Vk)^2 through Rg.
    if (x - Vk < 0.0) {
        Vg = x;
    } else {
        const double d = 1.0 - 4.0 * F * Vk + 4.0 * F * x;
        if (d < 0.0)
            Vg = x;
        else
            Vg = (std::sqrt(d) + 2.0 * F * Vk - 1.0) * invTwoF;
    }
    Ig = (x - Vg) * invRg;

    const double v = Vg - Vk;
    const double Vpk = v < -10.0 ? Bplus : curve.numerator(v) / curve.denominator(v);

    const double VpOld = Vp;
    Vp = Vpk + Vk;
    if (Bplus + Vk < Vp) Vp = Bplus + Vk;
    Ip = (Bplus - Vp) * invRa;

    y = (Vp - VpOld + y) * kCoupling;

    // Cathode last, so the next sample's grid and curve see this sample's cathode voltage.
    Vk = (Ck * Vk * rate + Ip + Ig) * kCathode;
    if (!(Vk > 0.0)) Vk = 0.0;

    sample = y;
}

} // namespace amp
