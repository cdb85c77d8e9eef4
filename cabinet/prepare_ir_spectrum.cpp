#include "cabinet/prepare_ir_spectrum.h"

#include <algorithm>
#include <cmath>

namespace cabinet {
namespace {

constexpr double kEpsilon = 1e-20;
constexpr double kHighBandGain = 0.00025;

// First bin (0-based, at least 1) that `rule` attenuates, for length n at rate fs. Computed in double and
// clamped before the conversion so that odd rates cannot overflow the integer.
int firstHighBin(int n, double fs, HighBandRule rule) noexcept
{
    const int half = n / 2;
    const double edge = static_cast<double>(n) * (rule == HighBandRule::Above11k ? 11000.0 : 10000.0) / fs;
    if (!(edge >= 0.0)) return half;  // not a usable rate: nothing beyond Nyquist to attenuate
    if (edge >= static_cast<double>(half)) return half;
    if (rule == HighBandRule::From10kCab1) return static_cast<int>(edge);  // trunc, bin itself included
    const double first = std::floor(edge) + 1.0;                          // first k strictly above
    return static_cast<int>(std::min(first, static_cast<double>(half)));
}

}  // namespace

void prepare_ir_spectrum(RealFft& fft, const double* time, double fs, HighBandRule rule, double* magnitude,
                         double* tangent, double* out) noexcept
{
    fft.forward(time, out);
    shape_ir_spectrum(out, fft.size(), fs, rule, magnitude, tangent, out);
}

void shape_ir_spectrum(const double* s, int n, double fs, HighBandRule rule, double* m, double* t,
                       double* r) noexcept
{
    const int half = n / 2;
    m[0] = std::fabs(s[0]);
    m[half] = std::fabs(s[half]);
    t[0] = 0.0;
    t[half] = 0.0;
    for (int k = 1; k < half; ++k) {
        m[k] = std::sqrt(s[k] * s[k] + s[half + k] * s[half + k]);
        t[k] = s[half + k] / (s[k] + kEpsilon);
    }
    double peak = 0.0;
    for (int k = 0; k <= half; ++k) peak = std::max(peak, m[k]);

    for (int k = 0; k <= half; ++k) {
        const bool negative = s[k] < 0.0;  // read before r[k] overwrites it when s and r are one array
        m[k] = m[k] / (peak + kEpsilon);
        double v = std::sqrt(m[k] * m[k] / (t[k] * t[k] + 1.0 + kEpsilon));
        if (negative) v = -v;
        r[k] = v;
        if (k > 0 && k < half) r[half + k] = t[k] * v;
    }
    r[half] *= kHighBandGain;

    // DC has no imaginary slot: slot N/2 is the Nyquist bin, already attenuated above.
    for (int k = firstHighBin(n, fs, rule); k < half; ++k) {
        r[k] *= kHighBandGain;
        if (k > 0) r[half + k] *= kHighBandGain;
    }
}

bool is_prepared_spectrum(const double* spectrum, int n) noexcept
{
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(spectrum[i]) <= 1.0 + 1e-9)) return false;
    return true;
}

void prepare_response_spectrum(RealFft& fft, const double* samples, int count, double fs, HighBandRule rule,
                               std::vector<double>& spectrum)
{
    const int n = fft.size();
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> time(size, 0.0), magnitude(size), tangent(size);
    spectrum.assign(size, 0.0);
    const int used = std::clamp(count, 0, n / 2 + 1);
    if (samples != nullptr) std::copy(samples, samples + used, time.begin());
    prepare_ir_spectrum(fft, time.data(), fs, rule, magnitude.data(), tangent.data(), spectrum.data());
    if (!is_prepared_spectrum(spectrum.data(), n)) std::fill(spectrum.begin(), spectrum.end(), 0.0);
}

}  // namespace cabinet
