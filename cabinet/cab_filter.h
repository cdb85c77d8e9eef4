#pragma once
// Second-order low-pass or high-pass (Q = 0.7, bilinear design) that shapes one cabinet's convolved output.
// It redesigns itself whenever the requested frequency or the sample rate differs from its last design.

#include <algorithm>
#include <cmath>

namespace cabinet {

struct CabFilter {
    enum class Kind { LowPass, HighPass };

    Kind kind = Kind::LowPass;
    double inv_a0 = 1.0;
    double a1 = 0.0, a2 = 0.0;            // feedback, not divided by a0
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;  // feed-forward, not divided by a0
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    double designFrequency = 0.0;
    double designRate = 0.0;  // 0: stale, the next update designs

    static constexpr double kQ = 0.7;

    // The prewarped corner tan(w/2), always positive.
    static double warped(double f, double fs) noexcept
    {
        // The bilinear map is only stable below Nyquist, which corners of up to 10 kHz leave at very low
        // host rates; such a request is designed just below Nyquist instead.
        const double top = 0.49 * fs;
        const double bottom = 1e-6 * fs;
        const double used = f > bottom ? std::min(f, top) : bottom;
        return std::tan(6.28319304 * used / fs * 0.5);
    }

    void design(double f, double fs) noexcept
    {
        const double k = warped(f, fs);
        const double kk = k * k;
        inv_a0 = 1.0 / (kk + k / kQ + 1.0);
        a1 = 2.0 * (kk - 1.0);
        a2 = kk + (1.0 - k / kQ);
        if (kind == Kind::LowPass) {
            b0 = kk;
            b1 = 2.0 * kk;
            b2 = kk;
        } else {
            b0 = 1.0;
            b1 = -2.0;
            b2 = 1.0;
        }
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

    double process(double x) noexcept
    {
        const double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) * inv_a0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
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
};

}  // namespace cabinet
