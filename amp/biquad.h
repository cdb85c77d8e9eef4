// Second-order filter section: bilinear-transform designs (with prewarping) of four analog
// prototypes, run in direct form I in double precision.
#pragma once

#include <cmath>
#include <limits>

namespace amp {

// The program's value of 2*pi; the designs use it as written, so corner frequencies sit a hair high.
inline constexpr double kTwoPiDesign = 6.28319304;

// Coefficients of one section. b0..b2 and a1, a2 are not divided by a0: the run multiplies the
// whole sum by invA0 instead.
struct BiquadCoefficients {
    double invA0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b0 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;

    // The two orders in which a2 = K^2 - K/Q + 1 can be summed. They round apart in the last bit for about
    // a quarter of all corners, so each filter keeps the order its sound was made with.
    enum class A2Sum {
        LeftToRight,    // (K^2 - K/Q) + 1
        OneMinusFirst,  // K^2 + (1 - K/Q)
    };

    // Prewarped tan(w/2) for the corner f. The corner is kept below 0.49*rate: at or above the
    // Nyquist frequency the tangent wraps round and the section would turn unstable. Below, it is
    // held at `lowest`.
    static double prewarp(double f, double rate, double lowest = 0.0) noexcept
    {
        const double fMax = 0.49 * rate;
        if (f > fMax) f = fMax;
        if (!(f > lowest)) f = lowest;
        return std::tan(0.5 * f * kTwoPiDesign / rate);
    }

    // 1 / (s^2 + s/Q + 1)
    static BiquadCoefficients lowPass(double f, double Q, double rate) noexcept
    {
        return lowPassPrewarped(prewarp(f, rate), Q);
    }

    // s^2 / (s^2 + s/Q + 1)
    static BiquadCoefficients highPass(double f, double Q, double rate) noexcept
    {
        return highPassPrewarped(prewarp(f, rate), Q);
    }

    // The same two designs for a corner already prewarped to K.
    static BiquadCoefficients lowPassPrewarped(double K, double Q, A2Sum sum = A2Sum::LeftToRight) noexcept
    {
        const double K2 = K * K;
        BiquadCoefficients c = poles(K, Q, sum);
        c.b0 = K2;
        c.b1 = 2.0 * K2;
        c.b2 = K2;
        return c;
    }
    static BiquadCoefficients highPassPrewarped(double K, double Q, A2Sum sum = A2Sum::LeftToRight) noexcept
    {
        BiquadCoefficients c = poles(K, Q, sum);
        c.b0 = 1.0;
        c.b1 = -2.0;
        c.b2 = 1.0;
        return c;
    }

    // (s^2 + sqrt(2g) s + g) / (s^2 + s/Q + 1): gain g at DC, unity towards Nyquist. The numerator
    // damping is sqrt(2) whatever Q is.
    static BiquadCoefficients lowShelf(double f, double Q, double g, double rate) noexcept
    {
        const double K = prewarp(f, rate);
        const double K2 = K * K;
        const double r = std::sqrt(2.0 * g);
        BiquadCoefficients c = poles(K, Q);
        c.b0 = g * K2 + r * K + 1.0;
        c.b1 = 2.0 * (g * K2 - 1.0);
        c.b2 = g * K2 - r * K + 1.0;
        return c;
    }

    // (s^2 + (g/Q) s + 1) / (s^2 + s/Q + 1): gain g at f, unity far from it.
    static BiquadCoefficients peak(double f, double Q, double g, double rate) noexcept
    {
        const double K = prewarp(f, rate);
        const double K2 = K * K;
        BiquadCoefficients c = poles(K, Q);
        c.b0 = K2 + g * K / Q + 1.0;
        c.b1 = 2.0 * (K2 - 1.0);
        c.b2 = K2 - g * K / Q + 1.0;
        return c;
    }

private:
    static BiquadCoefficients poles(double K, double Q, A2Sum sum = A2Sum::LeftToRight) noexcept
    {
        const double K2 = K * K;
        BiquadCoefficients c;
        c.invA0 = 1.0 / (K2 + K / Q + 1.0);
        c.a1 = 2.0 * (K2 - 1.0);
        c.a2 = sum == A2Sum::LeftToRight ? K2 - K / Q + 1.0 : K2 + (1.0 - K / Q);
        return c;
    }
};

struct Biquad {
    BiquadCoefficients c;
    double x1 = 0.0;
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
    // Corner the self-updating form last designed for; NaN compares unequal, so it forces a design.
    double designFrequency = std::numeric_limits<double>::quiet_NaN();

    // A design: new coefficients and a cleared history.
    void setCoefficients(const BiquadCoefficients& coefficients) noexcept
    {
        c = coefficients;
        x1 = x2 = y1 = y2 = 0.0;
    }

    void designLowPass(double f, double Q, double rate) noexcept
    {
        setCoefficients(BiquadCoefficients::lowPass(f, Q, rate));
        designFrequency = f;
    }
    void designHighPass(double f, double Q, double rate) noexcept
    {
        setCoefficients(BiquadCoefficients::highPass(f, Q, rate));
        designFrequency = f;
    }
    void designLowShelf(double f, double Q, double g, double rate) noexcept
    {
        setCoefficients(BiquadCoefficients::lowShelf(f, Q, g, rate));
    }
    void designPeak(double f, double Q, double g, double rate) noexcept
    {
        setCoefficients(BiquadCoefficients::peak(f, Q, g, rate));
    }

    double process(double x) noexcept
    {
        const double y = (c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2) * c.invA0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // Self-updating forms: redesign only when f moved, keeping the history so a sweep stays smooth.
    void processLowPass(double f, double Q, double rate, double& s) noexcept
    {
        if (f != designFrequency) {
            c = BiquadCoefficients::lowPass(f, Q, rate);
            designFrequency = f;
        }
        s = process(s);
    }
    void processHighPass(double f, double Q, double rate, double& s) noexcept
    {
        if (f != designFrequency) {
            c = BiquadCoefficients::highPass(f, Q, rate);
            designFrequency = f;
        }
        s = process(s);
    }

    // Makes the next self-updating call redesign (e.g. after a rate change) without touching history.
    void markDesignStale() noexcept { designFrequency = std::numeric_limits<double>::quiet_NaN(); }
};

}  // namespace amp
