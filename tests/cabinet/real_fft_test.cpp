#include "cabinet/real_fft.h"

#include <gtest/gtest.h>

#include "reference_real_fft.h"

#include <algorithm>
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

TYPED_TEST(RealFftTest, TonesLandInTheirBinsOnly)
{
    const int n = this->kLength, half = this->kHalfLength;
    const int sineBin = 37, cosineBin = half - 3;
    for (int i = 0; i < n; ++i) this->x[i] = std::sin(2.0 * std::numbers::pi * sineBin * i / n);
    this->fft.forward(this->x.data(), this->f.data());
    for (int k = 0; k <= half; ++k) ASSERT_NEAR(this->f[k], 0.0, 1e-9) << "sine: Re of bin " << k;
    for (int k = 1; k < half; ++k) {
        // sin has X[bin] = -i N/2, stored as -Im = +N/2.
        const double expected = k == sineBin ? n / 2.0 : 0.0;
        ASSERT_NEAR(this->f[half + k], expected, 1e-9) << "sine: -Im of bin " << k;
    }

    for (int i = 0; i < n; ++i) this->x[i] = std::cos(2.0 * std::numbers::pi * cosineBin * i / n);
    this->fft.forward(this->x.data(), this->f.data());
    for (int k = 0; k <= half; ++k)
        ASSERT_NEAR(this->f[k], k == cosineBin ? n / 2.0 : 0.0, 1e-9) << "cosine: Re of bin " << k;
    for (int k = 1; k < half; ++k) ASSERT_NEAR(this->f[half + k], 0.0, 1e-9) << "cosine: -Im of bin " << k;
}

TYPED_TEST(RealFftTest, RoundTripRestoresTheSignalAndSpectrumKeepsItsEnergy)
{
    const int n = this->kLength, half = this->kHalfLength;
    this->x = this->noise(1);
    const std::vector<double> input = this->x;
    this->fft.forward(this->x.data(), this->f.data());
    EXPECT_EQ(this->x, input) << "forward must only read its input";
    const std::vector<double> spectrum = this->f;
    this->fft.inverse(this->f.data(), this->y.data());
    EXPECT_EQ(this->f, spectrum) << "inverse must only read its input";
    this->fft.rescale(this->y.data());
    for (int i = 0; i < n; ++i) ASSERT_NEAR(this->y[i], this->x[i], 1e-13) << "sample " << i;

    // Parseval: sum x^2 = (X0^2 + X(N/2)^2 + 2 sum |Xk|^2) / N.
    double timeEnergy = 0.0, binEnergy = this->f[0] * this->f[0] + this->f[half] * this->f[half];
    for (double s : this->x) timeEnergy += s * s;
    for (int k = 1; k < half; ++k)
        binEnergy += 2.0 * (this->f[k] * this->f[k] + this->f[half + k] * this->f[half + k]);
    EXPECT_NEAR(binEnergy / n, timeEnergy, 1e-9 * timeEnergy);
}

TYPED_TEST(RealFftTest, AgreesWithAPlainDft)
{
    const int n = this->kLength, half = this->kHalfLength;
    this->x = this->noise(3);
    this->fft.forward(this->x.data(), this->f.data());
    // Exact roots of unity by index, so the sum's own rounding is the only error besides the FFT's.
    std::vector<double> c(n), s(n);
    for (int j = 0; j < n; ++j) {
        c[j] = std::cos(2.0 * std::numbers::pi * j / n);
        s[j] = std::sin(2.0 * std::numbers::pi * j / n);
    }
    for (int k = 0; k <= half; ++k) {
        double re = 0.0, minusIm = 0.0;
        for (int i = 0; i < n; ++i) {
            const int j = static_cast<int>((static_cast<long>(k) * i) % n);
            re += this->x[i] * c[j];
            minusIm += this->x[i] * s[j];
        }
        ASSERT_NEAR(this->f[k], re, 1e-10) << "Re of bin " << k;
        if (k > 0 && k < half) {
            ASSERT_NEAR(this->f[half + k], minusIm, 1e-10) << "-Im of bin " << k;
        }
    }
}

template <class Fft>
struct ReferenceOf;
template <>
struct ReferenceOf<RealFft2048> {
    using type = reference::RealFft2048;
};
template <>
struct ReferenceOf<RealFft4096> {
    using type = reference::RealFft4096;
};

TYPED_TEST(RealFftTest, AgreesWithTheTransformItReplaced)
{
    const int n = this->kLength;
    typename ReferenceOf<TypeParam>::type old;
    std::vector<double> expected(n);
    for (unsigned seed : {4u, 5u, 6u}) {
        this->x = this->noise(seed);
        this->fft.forward(this->x.data(), this->f.data());
        old.forward(this->x.data(), expected.data());
        for (int k = 0; k < n; ++k) ASSERT_NEAR(this->f[k], expected[k], 1e-12) << "seed " << seed << " slot " << k;

        // Any packed spectrum, not only one of a signal this short.
        this->fft.inverse(this->x.data(), this->y.data());
        old.inverse(this->x.data(), expected.data());
        for (int i = 0; i < n; ++i) ASSERT_NEAR(this->y[i], expected[i], 1e-12) << "seed " << seed << " sample " << i;
    }
}

TYPED_TEST(RealFftTest, CallersArraysNeedNoAlignment)
{
    const int n = this->kLength;
    this->x = this->noise(7);
    this->fft.forward(this->x.data(), this->f.data());
    this->fft.inverse(this->f.data(), this->y.data());
    // Each array one double off its allocation's alignment.
    std::vector<double> x1(n + 1), f1(n + 1), y1(n + 1);
    std::copy(this->x.begin(), this->x.end(), x1.begin() + 1);
    this->fft.forward(x1.data() + 1, f1.data() + 1);
    this->fft.inverse(f1.data() + 1, y1.data() + 1);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(f1[i + 1], this->f[i]) << "slot " << i;
        ASSERT_EQ(y1[i + 1], this->y[i]) << "sample " << i;
    }
}

TYPED_TEST(RealFftTest, AvxAndSse2GiveIdenticalResults)
{
    if (!this->fft.usesAvx()) GTEST_SKIP() << "this processor has no AVX";
    const int n = this->kLength;
    TypeParam sse2(FftVectors::Sse2);
    ASSERT_FALSE(sse2.usesAvx());
    std::vector<double> f2(n), y2(n);
    this->x = this->noise(8);
    this->fft.forward(this->x.data(), this->f.data());
    sse2.forward(this->x.data(), f2.data());
    EXPECT_EQ(this->f, f2);
    this->fft.inverse(this->x.data(), this->y.data());
    sse2.inverse(this->x.data(), y2.data());
    EXPECT_EQ(this->y, y2);
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
