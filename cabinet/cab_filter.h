#pragma once
// Second-order low-pass or high-pass (Q = 0.7) that shapes one cabinet's convolved output: the amp's section,
// designed with the cabinet's own corner range and order of rounding. It redesigns itself whenever the requested
// frequency or the sample rate differs from its last design.

#include "amp/biquad.h"

namespace cabinet {

struct CabFilter : private amp::Biquad {
    enum class Kind { LowPass, HighPass };

    static constexpr double kQ = 0.7;

    Kind kind = Kind::LowPass;
    double designRate = 0.0;  // 0: stale, the next update designs

    // The coefficients, the direct-form history and the corner of the last design.
    using amp::Biquad::c;
    using amp::Biquad::designFrequency;
    using amp::Biquad::process;
    using amp::Biquad::x1;
    using amp::Biquad::x2;
    using amp::Biquad::y1;
    using amp::Biquad::y2;

    // The prewarped corner tan(w/2), always positive: the glide divides by it.
    static double warped(double f, double fs) noexcept
    {
        // The bilinear map is only stable below Nyquist, which corners of up to 10 kHz leave at very low
        // host rates; such a request is designed just below Nyquist instead.
        return amp::BiquadCoefficients::prewarp(f, fs, kLowest * fs);
    }

    void design(double f, double fs) noexcept
    {
        using Coefficients = amp::BiquadCoefficients;
        const double k = warped(f, fs);
        constexpr auto sum = Coefficients::A2Sum::OneMinusFirst;
        c = kind == Kind::LowPass ? Coefficients::lowPassPrewarped(k, kQ, sum)
                                  : Coefficients::highPassPrewarped(k, kQ, sum);
        designFrequency = f;
        designRate = fs;
    }

    // True when f differs from the live design at this rate: a corner that moves while audio runs, which the
    // cabinet glides to (CabFilterGlide) rather than redesigning under the old history; a stale design is
    // simply redesigned.
    bool movesTo(double f, double fs) const noexcept { return fs == designRate && f != designFrequency; }

    // Redesigns when needed; the history carries on.
    void update(double f, double fs) noexcept
    {
        if (f != designFrequency || fs != designRate) design(f, fs);
    }

    double run(double x, double f, double fs) noexcept
    {
        update(f, fs);
        return process(x);
    }

    // Clears the history and marks the design stale.
    void reset() noexcept
    {
        x1 = x2 = y1 = y2 = 0.0;
        designRate = 0.0;
    }

private:
    static constexpr double kLowest = 1e-6;  // the lowest corner, as a share of the rate
};

}  // namespace cabinet
