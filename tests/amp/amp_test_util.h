// Frequency-response helpers shared by the amp tests.
#pragma once

#include <cmath>
#include <complex>

#include "amp/biquad.h"

namespace amp_test {

inline constexpr double kPi = 3.14159265358979323846;

// |H| of a biquad section at frequency f (Hz) for sample rate fs, from its coefficients.
inline double biquadGain(const amp::BiquadCoefficients& c, double f, double fs)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * f / fs);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> num = c.b0 + c.b1 * z1 + c.b2 * z2;
    const std::complex<double> den = 1.0 / c.invA0 + c.a1 * z1 + c.a2 * z2;
    return std::abs(num / den);
}

// Amplitude of the component at frequency f in x[start..end), by projection on sin and cos.
template <class Seq>
double toneAmplitude(const Seq& x, std::size_t start, std::size_t end, double f, double fs)
{
    double s = 0, c = 0;
    for (std::size_t n = start; n < end; ++n) {
        const double w = 2.0 * kPi * f * static_cast<double>(n) / fs;
        s += x[n] * std::sin(w);
        c += x[n] * std::cos(w);
    }
    const double count = static_cast<double>(end - start);
    return 2.0 * std::hypot(s, c) / count;
}

} // namespace amp_test
