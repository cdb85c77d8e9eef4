// prepare_ir_spectrum, resample_ir and the built-in responses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "cabinet/builtin_irs.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/real_fft.h"
#include "cabinet/resample_ir.h"

namespace cabinet {
namespace {

constexpr int kN = 2048;
constexpr int kHalf = kN / 2;

struct Prepared {
    std::vector<double> raw = std::vector<double>(kN);
    std::vector<double> out = std::vector<double>(kN);
};

// A decaying two-tone response, so that every bin has weight.
Prepared prepare(RealFft2048& fft, HighBandRule rule, double fs = 44100.0)
{
    std::vector<double> time(kN, 0.0), m(kN), t(kN);
    for (int i = 0; i < 600; ++i) time[i] = std::exp(-i / 80.0) * (std::cos(0.3 * i) + 0.5 * std::sin(2.1 * i));
    Prepared p;
    fft.forward(time.data(), p.raw.data());
    prepare_ir_spectrum(fft, time.data(), fs, rule, m.data(), t.data(), p.out.data());
    return p;
}

double binMagnitude(const std::vector<double>& s, int k)
{
    if (k == 0 || k == kHalf) return std::fabs(s[k]);
    return std::hypot(s[k], s[kHalf + k]);
}

TEST(PrepareIrSpectrum, NormalisesPeakKeepsPhaseAndScalesExactBands)
{
    RealFft2048 fft;
    struct Case {
        HighBandRule rule;
        int firstScaled;
    };
    for (const Case& c : {Case{HighBandRule::Above11k, 511}, Case{HighBandRule::From10kCab1, 464},
                          Case{HighBandRule::Above10kCab2, 465}}) {
        const Prepared p = prepare(fft, c.rule);
        double peak = 0.0;
        for (int k = 0; k <= kHalf; ++k) peak = std::max(peak, binMagnitude(p.raw, k));
        double largest = 0.0;
        for (int k = 0; k <= kHalf; ++k) {
            const double gain = (k >= c.firstScaled || k == kHalf) ? 0.00025 : 1.0;
            const double expected = binMagnitude(p.raw, k) / peak * gain;
            ASSERT_NEAR(binMagnitude(p.out, k), expected, 1e-12) << "first scaled " << c.firstScaled << " bin " << k;
            largest = std::max(largest, binMagnitude(p.out, k));
            if (k > 0 && k < kHalf) {  // same phase: the pairs are parallel and point the same way
                const double cross = p.out[k] * p.raw[kHalf + k] - p.out[kHalf + k] * p.raw[k];
                const double dot = p.out[k] * p.raw[k] + p.out[kHalf + k] * p.raw[kHalf + k];
                ASSERT_NEAR(cross, 0.0, 1e-9 * binMagnitude(p.raw, k)) << "bin " << k;
                ASSERT_GE(dot, 0.0) << "bin " << k;
            }
        }
        EXPECT_NEAR(largest, 1.0, 1e-12);
    }
}

TEST(PrepareIrSpectrum, ShapingInPlaceMatchesAndZeroStaysZero)
{
    RealFft2048 fft;
    const Prepared p = prepare(fft, HighBandRule::Above10kCab2);
    std::vector<double> inPlace = p.raw, m(kN), t(kN);
    shape_ir_spectrum(inPlace.data(), kN, 44100.0, HighBandRule::Above10kCab2, m.data(), t.data(), inPlace.data());
    EXPECT_EQ(inPlace, p.out);

    const std::vector<double> zeros(kN, 0.0);
    std::vector<double> out(kN, 1.0);
    prepare_ir_spectrum(fft, zeros.data(), 44100.0, HighBandRule::Above11k, m.data(), t.data(), out.data());
    for (int k = 0; k < kN; ++k) ASSERT_EQ(out[k], 0.0) << "slot " << k;
}

TEST(PrepareIrSpectrum, OddRatesStayInsideTheSpectrum)
{
    RealFft2048 fft;
    for (double fs : {1.0, 100.0, 0.0, -44100.0, 1e12}) {
        const Prepared p = prepare(fft, HighBandRule::From10kCab1, fs);
        for (double v : p.out) ASSERT_TRUE(std::isfinite(v)) << "fs " << fs;
    }
}

TEST(ResampleIr, DoublingTheRateKeepsSamplesAndLength)
{
    std::vector<double> in(101);
    for (int i = 0; i < 101; ++i) in[i] = std::sin(0.2 * i) + 0.3 * std::cos(0.05 * i * i);
    const std::vector<double> out = resample_ir(in.data(), 101, 88200.0, 44100.0);
    ASSERT_EQ(out.size(), 200u);  // ceil(88200 * 100 / 44100)
    for (int i = 1; 2 * i <= 198; ++i) ASSERT_NEAR(out[2 * i], in[i], 1e-9) << "output " << 2 * i;
    // Midpoints are the Catmull-Rom values: (-ym + 9 y0 + 9 y1 - yp) / 16.
    for (int i = 1; 2 * i + 1 <= 198 && i + 2 < 101; ++i) {
        const double mid = (-in[i - 1] + 9.0 * in[i] + 9.0 * in[i + 1] - in[i + 2]) / 16.0;
        ASSERT_NEAR(out[2 * i + 1], mid, 1e-9) << "output " << 2 * i + 1;
    }
    EXPECT_EQ(out[0], in[0]);
    EXPECT_NEAR(out[1], (in[0] + in[1]) / 2.0, 1e-12);
    EXPECT_NEAR(out[199], in[100] + (in[100] - in[99]) / 2.0, 1e-9);
}

TEST(ResampleIr, LengthsAndDegenerateInputs)
{
    const std::vector<double> in(2048, 0.25);
    EXPECT_EQ(resample_ir(in.data(), 1031, 48000.0, 44100.0).size(), 1122u);
    EXPECT_EQ(resample_ir(in.data(), 2048, 96000.0, 44100.0).size(), 4457u);
    EXPECT_EQ(resample_ir(in.data(), 1031, 48000.0, 44100.0, 1024).size(), 1024u);
    EXPECT_EQ(resample_ir(in.data(), 2, 1.0, 44100.0).size(), 1u);  // m = 1: only the first sample
    const double one = 0.7;
    EXPECT_EQ(resample_ir(&one, 1, 48000.0, 44100.0), std::vector<double>{0.7});
    EXPECT_TRUE(resample_ir(&one, 0, 48000.0, 44100.0).empty());
    EXPECT_EQ(resample_ir(in.data(), 3, 48000.0, 0.0).size(), 3u);  // unusable rate: unchanged
}

TEST(BuiltinIrs, TablesStartAsGivenAndAreSixteenBitValues)
{
    const double starts[2][4] = {{0.21383666992, 0.61175537109, 0.90481567383, 0.96588134766},
                                 {0.18530273438, 0.53894042969, 0.84393310547, 0.96591186523}};
    for (int c = 0; c < 2; ++c) {
        const double* ir = builtin_ir(c);
        ASSERT_NE(ir, nullptr);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(ir[i], starts[c][i]) << "cabinet " << c << " sample " << i;
        for (int i = 0; i < kBuiltinIrLength; ++i) {
            const double units = ir[i] * 32768.0;
            ASSERT_NEAR(units, std::round(units), 1e-6) << "cabinet " << c << " sample " << i;
            if (i != 3) {
                ASSERT_LT(std::fabs(ir[i]), ir[3]) << "cabinet " << c << " sample " << i;
            }
        }
    }
    EXPECT_STREQ(builtin_ir_name(0), "Tavik_IR_Center(Alu)");
    EXPECT_STREQ(builtin_ir_name(1), "Tavik_IR_Edge(Alu)");
    EXPECT_EQ(builtin_ir(2), nullptr);
}

// Level of a response at frequency f, in dB.
double levelDb(const double* h, int n, double f, double fs)
{
    double re = 0.0, im = 0.0;
    for (int i = 0; i < n; ++i) {
        re += h[i] * std::cos(2.0 * std::numbers::pi * f * i / fs);
        im += h[i] * std::sin(2.0 * std::numbers::pi * f * i / fs);
    }
    return 20.0 * std::log10(std::hypot(re, im));
}

TEST(BuiltinIrs, SoundLikeACabinetCentreBrighterThanEdge)
{
    double presence[2], top[2];
    for (int c = 0; c < 2; ++c) {
        const double* h = builtin_ir(c);
        const double ref = levelDb(h, kBuiltinIrLength, 1000.0, 44100.0);
        const double low = levelDb(h, kBuiltinIrLength, 100.0, 44100.0) - ref;
        EXPECT_GT(low, 2.0) << "low resonance, cabinet " << c;
        EXPECT_LT(levelDb(h, kBuiltinIrLength, 30.0, 44100.0) - ref, low - 6.0) << "sealed-box roll-off";
        presence[c] = levelDb(h, kBuiltinIrLength, 2800.0, 44100.0) - ref;
        top[c] = levelDb(h, kBuiltinIrLength, 9000.0, 44100.0) - ref;
        EXPECT_LT(top[c], -18.0) << "high roll-off, cabinet " << c;
    }
    EXPECT_GT(presence[0], presence[1] + 2.0);
    EXPECT_GT(presence[0], 3.0);
}

TEST(BuiltinIrs, FillAtHostRates)
{
    std::vector<double> time(4096, 9.0);
    fill_builtin_ir(0, 44100.0, time.data(), 2048);
    EXPECT_TRUE(std::equal(time.begin(), time.begin() + 1025, builtin_ir(0)));
    EXPECT_TRUE(std::all_of(time.begin() + 1025, time.begin() + 2048, [](double v) { return v == 0.0; }));
    EXPECT_EQ(time[2048], 9.0) << "wrote past the buffer";

    fill_builtin_ir(1, 44100.0, time.data(), 4096);
    EXPECT_TRUE(std::equal(time.begin(), time.begin() + 1031, builtin_ir(1)));

    // 48000 Hz: m = 1122, L = 1024, 1023 samples used; the first two follow the table.
    fill_builtin_ir(1, 48000.0, time.data(), 2048);
    EXPECT_EQ(time[0], builtin_ir(1)[0]);
    EXPECT_NE(time[1022], 0.0);
    EXPECT_TRUE(std::all_of(time.begin() + 1023, time.begin() + 2048, [](double v) { return v == 0.0; }));

    // 96000 Hz with N = 4096: 2047 samples, of which those beyond the table's span are zero.
    fill_builtin_ir(0, 96000.0, time.data(), 4096);
    const std::vector<double> expected = [] {
        std::vector<double> src(2048, 0.0);
        std::copy(builtin_ir(0), builtin_ir(0) + 1031, src.begin());
        return resample_ir(src.data(), 2048, 96000.0, 44100.0);
    }();
    for (int i = 0; i < 2047; ++i) ASSERT_EQ(time[i], expected[i]) << "sample " << i;
    EXPECT_EQ(time[2047], 0.0);
}

}  // namespace
}  // namespace cabinet
