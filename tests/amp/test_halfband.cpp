#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "amp/halfband.h"
#include "amp_test_util.h"

using namespace amp;

namespace {

// Magnitude at f (cycles per sample) of a finite impulse response.
double responseAt(const std::vector<double>& h, double f)
{
    std::complex<double> sum = 0;
    for (std::size_t n = 0; n < h.size(); ++n)
        sum += h[n] * std::polar(1.0, -2.0 * amp_test::kPi * f * static_cast<double>(n));
    return std::abs(sum);
}

// Interleaved impulse response of an interpolator: outputs in time order, first then second.
template <std::size_t S>
std::vector<double> interpolatorImpulse(const std::array<double, 2 * S>& table, bool swapOrder = false)
{
    HalfbandInterpolator<S> up;
    up.loadCoefficients(table);
    std::vector<double> h;
    for (int n = 0; n < 2048; ++n) {
        const HalfbandPair p = up.process(n == 0 ? 1.0f : 0.0f);
        h.push_back(swapOrder ? p.second : p.first);
        h.push_back(swapOrder ? p.first : p.second);
    }
    return h;
}

template <std::size_t S>
void expectConstantThrough(const std::array<double, 2 * S>& table, int level)
{
    HalfbandInterpolator<S> up;
    HalfbandDecimator<S> down;
    up.loadCoefficients(table);
    down.loadCoefficients(table);
    HalfbandPair p{};
    float z = 0;
    for (int n = 0; n < 3000; ++n) {
        p = up.process(0.7f);
        z = down.process(p.first, p.second);
    }
    EXPECT_NEAR(p.first, 0.7f, 1e-5) << "level " << level;
    EXPECT_NEAR(p.second, 0.7f, 1e-5) << "level " << level;
    EXPECT_NEAR(z, 0.7f, 1e-5) << "level " << level;
}

template <std::size_t S>
void expectHalfbandLowPass(const std::array<double, 2 * S>& table, int level, double stopLimit)
{
    const std::vector<double> h = interpolatorImpulse<S>(table);
    // The first outputs are chain A alone: at time 0 the cascade of allpasses gives the product of
    // the even coefficients; the second outputs that of the odd ones.
    double evenProduct = 1, oddProduct = 1;
    for (std::size_t k = 0; k < 2 * S; ++k) (k % 2 == 0 ? evenProduct : oddProduct) *= static_cast<float>(table[k]);
    EXPECT_NEAR(h[0], evenProduct, 1e-6) << "level " << level;
    EXPECT_NEAR(h[1], oddProduct, 1e-6) << "level " << level;

    // In time order the two chains form a halfband low-pass with gain 2 (zero-stuffed input).
    EXPECT_NEAR(responseAt(h, 0.02), 2.0, 1e-3) << "level " << level;
    for (double f = 0.3; f <= 0.5; f += 0.01)
        EXPECT_LT(responseAt(h, f), stopLimit) << "level " << level << " f=" << f;
    // Taken in the wrong order the same samples leak strongly into the image band.
    const std::vector<double> swapped = interpolatorImpulse<S>(table, true);
    EXPECT_GT(responseAt(swapped, 0.45), 0.1) << "level " << level;
}

} // namespace

TEST(Halfband, ConstantInConstantOutAtEveryLevel)
{
    expectConstantThrough<6>(halfbandLevel1, 1);
    expectConstantThrough<4>(halfbandLevel2, 2);
    expectConstantThrough<2>(halfbandLevel3, 3);
}

TEST(Halfband, InterpolatorChainsComeOutInTimeOrderAsALowPass)
{
    // Stopband from 0.3 cycles/sample: about -105, -69 and -54 dB below the passband gain of 2.
    expectHalfbandLowPass<6>(halfbandLevel1, 1, 1e-4);
    expectHalfbandLowPass<4>(halfbandLevel2, 2, 2e-3);
    expectHalfbandLowPass<2>(halfbandLevel3, 3, 1e-2);
}
