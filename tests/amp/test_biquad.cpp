#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "amp/biquad.h"
#include "amp_test_util.h"

using amp::Biquad;
using amp::BiquadCoefficients;
using amp_test::biquadGain;

namespace {

struct Design {
    double f, Q, rate;
};

// The amp's path filters at the oversampled rates, and a cabinet-like corner near the host Nyquist.
const Design kDesigns[] = {{4800, 1.0, 176400},  {4800, 0.85, 352800}, {2257, 0.85, 96000},
                           {2, 0.7, 384000},     {10000, 0.7, 44100},  {10, 0.7, 22050}};

} // namespace

TEST(BiquadDesign, LowPassAndHighPassHaveUnitAndZeroGainAtTheBandEnds)
{
    for (const Design& d : kDesigns) {
        const BiquadCoefficients lp = BiquadCoefficients::lowPass(d.f, d.Q, d.rate);
        const BiquadCoefficients hp = BiquadCoefficients::highPass(d.f, d.Q, d.rate);
        // Very low corners (2 Hz at 384 kHz) lose digits to cancellation in a1 + a2 + a0, hence 1e-6.
        EXPECT_NEAR(biquadGain(lp, 0, d.rate), 1.0, 1e-6) << "low-pass DC, f=" << d.f << " rate=" << d.rate;
        EXPECT_NEAR(biquadGain(lp, d.rate / 2, d.rate), 0.0, 1e-9) << "low-pass Nyquist, f=" << d.f;
        EXPECT_NEAR(biquadGain(hp, 0, d.rate), 0.0, 1e-12) << "high-pass DC, f=" << d.f;
        EXPECT_NEAR(biquadGain(hp, d.rate / 2, d.rate), 1.0, 1e-9) << "high-pass Nyquist, f=" << d.f;
        // At the corner both prototypes have gain Q (1/(s^2+s/Q+1) at s=j); the design's 2*pi is a hair
        // large, so the corner sits within a part per million of f.
        EXPECT_NEAR(biquadGain(lp, d.f, d.rate), d.Q, 1e-4 * d.Q) << "low-pass corner, f=" << d.f;
        EXPECT_NEAR(biquadGain(hp, d.f, d.rate), d.Q, 1e-4 * d.Q) << "high-pass corner, f=" << d.f;
    }
}

TEST(BiquadDesign, ShelfAndPeakGains)
{
    const double rate = 176400;
    for (double g : {0.25, 0.35, 0.45, 0.5}) {
        const BiquadCoefficients shelf = BiquadCoefficients::lowShelf(600, 0.7, g, rate);
        EXPECT_NEAR(biquadGain(shelf, 0, rate), g, 1e-12) << "shelf DC, g=" << g;
        EXPECT_NEAR(biquadGain(shelf, rate / 2, rate), 1.0, 1e-12) << "shelf Nyquist, g=" << g;
    }
    const BiquadCoefficients peak = BiquadCoefficients::peak(4500, 0.7, 1.6, rate);
    EXPECT_NEAR(biquadGain(peak, 4500, rate), 1.6, 1e-4);
    EXPECT_NEAR(biquadGain(peak, 0, rate), 1.0, 1e-12);
    EXPECT_NEAR(biquadGain(peak, rate / 2, rate), 1.0, 1e-12);
}

TEST(BiquadRun, MeasuredLevelsMatchTheDesign)
{
    // A low shelf with g = 0.5 halves a DC input and passes a tone near Nyquist at full level.
    Biquad shelf;
    shelf.designLowShelf(720, 0.7, 0.5, 176400);
    double y = 0;
    for (int n = 0; n < 20000; ++n) y = shelf.process(1.0);
    EXPECT_NEAR(y, 0.5, 1e-9);

    std::vector<double> out;
    shelf.designLowShelf(720, 0.7, 0.5, 176400);
    for (int n = 0; n < 4000; ++n) out.push_back(shelf.process(std::sin(2 * amp_test::kPi * 80000.0 * n / 176400)));
    EXPECT_NEAR(amp_test::toneAmplitude(out, 2000, 2000 + 4 * 441, 80000, 176400), 1.0, 1e-3); // 800 periods

    // A 1 kHz tone through the 4800 Hz low-pass at 176.4 kHz: level as the design says.
    Biquad lp;
    lp.designLowPass(4800, 1.0, 176400);
    out.clear();
    for (int n = 0; n < 8820; ++n) out.push_back(lp.process(std::sin(2 * amp_test::kPi * 1000.0 * n / 176400)));
    EXPECT_NEAR(amp_test::toneAmplitude(out, 1764, 8820, 1000, 176400),
                biquadGain(BiquadCoefficients::lowPass(4800, 1.0, 176400), 1000, 176400), 1e-3);
}

TEST(BiquadRun, DesignClearsHistoryButSelfUpdateKeepsIt)
{
    Biquad b;
    b.designLowPass(1000, 0.7, 44100);
    double y = 0;
    for (int n = 0; n < 5000; ++n) y = b.process(1.0);
    ASSERT_NEAR(y, 1.0, 1e-9);

    // A new corner in the self-updating form: the settled DC level carries straight on.
    double s = 1.0;
    b.processLowPass(2000, 0.7, 44100, s);
    EXPECT_NEAR(s, 1.0, 1e-9);
    s = 1.0;
    b.processHighPass(2000, 0.7, 44100, s); // now a high-pass: the DC level starts to fall, no jump
    EXPECT_GT(s, 0.5);

    // A design starts from silence.
    b.designLowPass(1000, 0.7, 44100);
    EXPECT_EQ(b.process(0.0), 0.0);
}

TEST(BiquadDesign, CornersAtOrAboveNyquistStayStable)
{
    // A 10 kHz cabinet low-pass at a 16 kHz host rate would wrap the tangent round to an unstable section.
    for (double f : {10000.0, 8000.0, 7999.0, 30000.0}) {
        Biquad b;
        b.designLowPass(f, 0.7, 16000);
        double peak = 0;
        for (int n = 0; n < 20000; ++n) peak = std::max(peak, std::fabs(b.process(n % 7 == 0 ? 1.0 : -0.2)));
        EXPECT_TRUE(std::isfinite(peak)) << "f=" << f;
        EXPECT_LT(peak, 100.0) << "f=" << f;
    }
}
