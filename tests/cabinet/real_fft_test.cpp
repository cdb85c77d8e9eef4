#include "cabinet/real_fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace cabinet {
namespace {

template <class Fft>
class RealFftTest : public ::testing::Test {
protected:
    static constexpr int kLength = Fft::kSize;
    static constexpr int kHalfLength = kLength / 2;
    Fft fft;
    std::vector<double> x = std::vector<double>(kLength, 0.0);
    std::vector<double> f = std::vector<double>(kLength, 0.0);
    std::vector<double> y = std::vector<double>(kLength, 0.0);

    static std::vector<double> noise(unsigned seed)
    {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<double> dist(-1.0, 1.0);
        std::vector<double> v(kLength);
        for (double& s : v) s = dist(gen);
        return v;
    }
};

using Lengths = ::testing::Types<RealFft2048, RealFft4096>;
TYPED_TEST_SUITE(RealFftTest, Lengths);

TYPED_TEST(RealFftTest, ImpulsesGiveFlatAndRotatingSpectra)
{
    const int n = this->kLength, half = this->kHalfLength;
    this->x[0] = 1.0;
    this->fft.forward(this->x.data(), this->f.data());
    for (int k = 0; k <= half; ++k) ASSERT_NEAR(this->f[k], 1.0, 1e-12) << "impulse at 0, slot " << k;
    for (int k = half + 1; k < n; ++k) ASSERT_NEAR(this->f[k], 0.0, 1e-12) << "impulse at 0, slot " << k;

    this->x[0] = 0.0;
    this->x[1] = 1.0;
    this->fft.forward(this->x.data(), this->f.data());
    const double w = 2.0 * std::numbers::pi / n;
    EXPECT_NEAR(this->f[0], 1.0, 1e-12);
    EXPECT_NEAR(this->f[half], -1.0, 1e-12);
    for (int k = 1; k < half; ++k) {
        ASSERT_NEAR(this->f[k], std::cos(w * k), 1e-12) << "impulse at 1, Re of bin " << k;
        ASSERT_NEAR(this->f[half + k], std::sin(w * k), 1e-12) << "impulse at 1, -Im of bin " << k;
    }
}

TYPED_TEST(RealFftTest, ToneLandsInItsBinOnly)
{
    const int n = this->kLength, half = this->kHalfLength;
    const int bin = 37;
    for (int i = 0; i < n; ++i) this->x[i] = std::sin(2.0 * std::numbers::pi * bin * i / n);
    this->fft.forward(this->x.data(), this->f.data());
    for (int k = 0; k <= half; ++k) ASSERT_NEAR(this->f[k], 0.0, 1e-9) << "Re of bin " << k;
    for (int k = 1; k < half; ++k) {
        // sin has X[bin] = -i N/2, stored as -Im = +N/2.
        const double expected = k == bin ? n / 2.0 : 0.0;
        ASSERT_NEAR(this->f[half + k], expected, 1e-9) << "-Im of bin " << k;
    }
}

TYPED_TEST(RealFftTest, RoundTripRestoresTheSignal)
{
    this->x = this->noise(1);
    this->fft.forward(this->x.data(), this->f.data());
    const std::vector<double> spectrum = this->f;
    this->fft.inverse(this->f.data(), this->y.data());
    EXPECT_EQ(this->f, spectrum) << "inverse must only read its input";
    this->fft.rescale(this->y.data());
    for (int i = 0; i < this->kLength; ++i) ASSERT_NEAR(this->y[i], this->x[i], 1e-13) << "sample " << i;
}

TYPED_TEST(RealFftTest, PairwiseProductIsCircularConvolution)
{
    const int n = this->kLength, half = this->kHalfLength;
    const std::vector<double> a = this->noise(2);
    std::vector<double> b(n, 0.0);
    for (int i = 0; i < 300; ++i) b[(i * 7 + n - 150) % n] = std::cos(0.1 * i);  // wraps around the end
    std::vector<double> fa(n), fb(n), prod(n), conv(n);
    this->fft.forward(a.data(), fa.data());
    this->fft.forward(b.data(), fb.data());
    prod[0] = fa[0] * fb[0];
    prod[half] = fa[half] * fb[half];
    for (int k = 1; k < half; ++k) {
        prod[k] = fa[k] * fb[k] - fa[half + k] * fb[half + k];
        prod[half + k] = fa[k] * fb[half + k] + fa[half + k] * fb[k];
    }
    this->fft.inverse(prod.data(), conv.data());
    this->fft.rescale(conv.data());
    for (int i = 0; i < n; ++i) {
        double direct = 0.0;
        for (int j = 0; j < n; ++j) direct += a[j] * b[(i - j + n) % n];
        ASSERT_NEAR(conv[i], direct, 1e-10) << "sample " << i;
    }
}

}  // namespace
}  // namespace cabinet
