#include "cabinet/cab_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace cabinet {
namespace {

// Steady-state level (dB) of a sine at f through a low-pass at lp and a high-pass at hp, as a cabinet runs them.
double sineLevelDb(double f, double lp, double hp, double fs)
{
    CabFilter low, high;
    high.kind = CabFilter::Kind::HighPass;
    const int settle = static_cast<int>(fs);  // one second
    const int measure = static_cast<int>(fs / 10.0);
    double energy = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const double x = std::sin(2.0 * std::numbers::pi * f * i / fs);
        const double y = high.run(low.run(x, lp, fs), hp, fs);
        if (i >= settle) energy += y * y;
    }
    return 10.0 * std::log10(energy / measure / 0.5);
}

TEST(CabFilter, DesignPassesTheBandAndRollsOffAtTwelveDbPerOctave)
{
    EXPECT_NEAR(sineLevelDb(1000.0, 10000.0, 10.0, 44100.0), 0.0, 0.05);
    EXPECT_NEAR(sineLevelDb(1000.0, 1000.0, 10.0, 44100.0), -20.0 * std::log10(1.0 / 0.7), 0.1) << "Q at corner";
    const double octave = sineLevelDb(4000.0, 1000.0, 10.0, 44100.0) - sineLevelDb(8000.0, 1000.0, 10.0, 44100.0);
    EXPECT_NEAR(octave, 12.0, 2.5) << "low-pass slope between 4 and 8 kHz";
    EXPECT_LT(sineLevelDb(100.0, 10000.0, 1000.0, 44100.0), -38.0) << "high-pass at 1 kHz, 100 Hz sine";

    CabFilter lp;
    lp.design(2000.0, 48000.0);
    const double a0 = 1.0 / lp.c.invA0;
    EXPECT_NEAR((lp.c.b0 + lp.c.b1 + lp.c.b2) / (a0 + lp.c.a1 + lp.c.a2), 1.0, 1e-12) << "unit gain at DC";
    const double k = std::tan(6.28319304 * 2000.0 / 48000.0 * 0.5);
    EXPECT_DOUBLE_EQ(lp.c.a2, k * k + (1.0 - k / 0.7));
}

TEST(CabFilter, RedesignsOnChangeKeepsHistoryAndResetMarksStale)
{
    CabFilter f;
    f.run(1.0, 5000.0, 44100.0);
    const double y1 = f.y1;
    f.update(3000.0, 44100.0);
    EXPECT_EQ(f.designFrequency, 3000.0);
    EXPECT_EQ(f.y1, y1) << "a redesign keeps the history";
    f.reset();
    EXPECT_EQ(f.x1, 0.0);
    EXPECT_EQ(f.y1, 0.0);
    const double b0 = f.c.b0;
    f.update(3000.0, 44100.0);
    EXPECT_EQ(f.designRate, 44100.0);
    EXPECT_EQ(f.c.b0, b0);
}

// The cabinet's sound was made with its own rounding of the design: a2 summed as K^2 + (1 - K/Q), which at
// 10 Hz and 48 kHz differs from the other order in the last bit, and corners held above 0 for the glide.
TEST(CabFilter, DesignKeepsTheCabinetsRoundingAndLowestCorner)
{
    const double fs = 48000.0;
    const double k = CabFilter::warped(10.0, fs);
    EXPECT_EQ(k, std::tan(6.28319304 * 10.0 / fs * 0.5));
    ASSERT_NE(k * k + (1.0 - k / 0.7), k * k - k / 0.7 + 1.0);
    CabFilter hp;
    hp.kind = CabFilter::Kind::HighPass;
    hp.design(10.0, fs);
    EXPECT_EQ(hp.c.a2, k * k + (1.0 - k / 0.7));
    EXPECT_EQ(hp.c.invA0, 1.0 / (k * k + k / 0.7 + 1.0));

    const double lowest = CabFilter::warped(1e-6 * fs, fs);
    EXPECT_GT(lowest, 0.0);
    for (double f : {0.0, -20.0, std::nan("")}) EXPECT_EQ(CabFilter::warped(f, fs), lowest) << f;
}

TEST(CabFilter, CornersAboveNyquistStayStable)
{
    for (double fs : {1.0, 100.0, 16000.0}) {
        CabFilter f;
        double y = 0.0;
        for (int i = 0; i < 5000; ++i) y = f.run(i % 7 == 0 ? 1.0 : -0.2, 10000.0, fs);
        EXPECT_TRUE(std::isfinite(y) && std::fabs(y) < 10.0) << "fs " << fs;
    }
}

}  // namespace
}  // namespace cabinet
