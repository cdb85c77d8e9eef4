#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "amp/dc_blocker.h"
#include "amp/power_amp_curve.h"
#include "reference_power_amp_curve.h"

using namespace amp;

namespace {

int gridIndexOf(double x) { return static_cast<int>(std::lround(x * 10)) + powerAmpTableZero; }

} // namespace

TEST(PowerAmpCurve, TableAndLookupPassThroughEveryGivenPoint)
{
    const PowerAmpTable& table = powerAmpTable();
    for (const CurvePoint& p : powerAmpCurvePoints) {
        const auto i = static_cast<std::size_t>(gridIndexOf(p.x));
        EXPECT_EQ(table[i].x, p.x) << "grid abscissa at x=" << p.x;
        EXPECT_EQ(table[i].y, p.y) << "table at x=" << p.x;
        if (p.x > -180 && p.x < 180) {
            EXPECT_EQ(powerAmpCurve(p.x), p.y) << "lookup at x=" << p.x;
        }
    }
    EXPECT_EQ(table.front().x, -199.9);
    EXPECT_EQ(table.back().x, 200.0);
    EXPECT_EQ(powerAmpCurve(0.0), -0.212997229504);
}

TEST(PowerAmpCurve, ClampsToTheTableEnds)
{
    const double low = 0.446188007274, high = -0.445548982451;
    for (double x : {-180.0, -180.5, -1e9, -std::numeric_limits<double>::infinity()})
        EXPECT_EQ(powerAmpCurve(x), low) << "x=" << x;
    for (double x : {180.0, 199.95, 1e9, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(powerAmpCurve(x), high) << "x=" << x;
    // NaN drive must not index the table; it reads as the low end.
    EXPECT_EQ(powerAmpCurve(std::numeric_limits<double>::quiet_NaN()), low);
}

TEST(PowerAmpCurve, MonotoneBetweenPointsWithoutOvershoot)
{
    const PowerAmpTable& table = powerAmpTable();
    for (std::size_t k = 0; k + 1 < powerAmpCurvePoints.size(); ++k) {
        const CurvePoint a = powerAmpCurvePoints[k], b = powerAmpCurvePoints[k + 1];
        const int i0 = gridIndexOf(a.x), i1 = gridIndexOf(b.x);
        const double lo = std::min(a.y, b.y), hi = std::max(a.y, b.y);
        for (int i = i0; i < i1; ++i) {
            const double y0 = table[static_cast<std::size_t>(i)].y, y1 = table[static_cast<std::size_t>(i + 1)].y;
            EXPECT_GE(y0, lo) << "between " << a.x << " and " << b.x << ", i=" << i;
            EXPECT_LE(y0, hi) << "between " << a.x << " and " << b.x << ", i=" << i;
            if (b.y < a.y) {
                EXPECT_LE(y1, y0) << "falls between " << a.x << " and " << b.x << ", i=" << i;
            } else {
                EXPECT_GE(y1, y0) << "rises between " << a.x << " and " << b.x << ", i=" << i;
            }
        }
    }
}

TEST(PowerAmpCurve, LookupIsContinuousAndInverting)
{
    // Across every grid point the cubic pieces meet; positive drive gives negative output.
    double worstJump = 0;
    for (int i = 200; i < 3798; ++i) {
        const double x = (i - powerAmpTableZero) / 10.0;
        worstJump = std::max(worstJump, std::fabs(powerAmpCurve(x + 1e-9) - powerAmpCurve(x - 1e-9)));
        if (x > 0) {
            EXPECT_LT(powerAmpCurve(x + 0.05), 0.0) << "x=" << x;
        }
    }
    EXPECT_LT(worstJump, 1e-8);
}

TEST(PowerAmpCurve, AgreesWithTheLookupItReplacedAtAMillionPoints)
{
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> wide(-200.0, 200.0), steep(-4.0, 2.0);
    double worst = 0.0, worstX = 0.0;
    const auto check = [&](double x) {
        const double d = std::fabs(powerAmpCurve(x) - reference::powerAmpCurve(x));
        if (d > worst) worst = d, worstX = x;
    };
    for (int n = 0; n < 500000; ++n) check(wide(gen));
    for (int n = 0; n < 500000; ++n) check(steep(gen));
    // Grid points, cell edges from both sides and the ends, where truncation and the clamps decide.
    for (int i = 0; i < powerAmpTableSize; ++i) {
        const double x = (i - powerAmpTableZero) / 10.0;
        for (double v : {x, std::nextafter(x, -1e9), std::nextafter(x, 1e9)}) check(v);
    }
    EXPECT_LE(worst, 1e-15) << "at x=" << worstX;
}

TEST(DcBlocker, SilentStartStaysSilentAndOffsetsDecay)
{
    DcBlocker blocker;
    blocker.setup(DcBlocker::design(176400));
    for (int n = 0; n < 100000; ++n) ASSERT_EQ(blocker.process(powerAmpCurve(0.0)), 0.0) << "n=" << n;

    // A new resting level decays away (2 Hz corner: a few seconds at most).
    double y = 0;
    for (int n = 0; n < 176400 * 3; ++n) y = blocker.process(0.3);
    EXPECT_LT(std::fabs(y), 1e-3);
}
