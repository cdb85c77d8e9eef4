#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <complex>
#include <vector>

#include "amp/tone_stack.h"
#include "amp_test_util.h"

using namespace amp;

namespace {

double toneStackGain(const ToneStack& t, double f, double fs)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * amp_test::kPi * f / fs);
    const std::complex<double> z2 = z1 * z1, z3 = z2 * z1;
    return std::abs((t.b0 + t.b1 * z1 + t.b2 * z2 + t.b3 * z3) / (1.0 + t.a1 * z1 + t.a2 * z2 + t.a3 * z3));
}

// Output voltage for 1 V in, by nodal analysis of the network: C1 from the input to the top of the
// treble pot, whose wiper is the output and whose foot meets the bass pot (used as l*R2); the bass
// pot feeds the top of the mid pot (wiper at m*R3 above ground); R4 from the input to a node that
// reaches the treble pot's foot through C2 and the mid wiper through C3.
std::complex<double> circuitResponse(std::complex<double> s, double t, double m, double l, double R4)
{
    const double C1 = 4.7e-10, C2 = 2.2e-8, C3 = 2.2e-8, R1 = 250000, R2 = 1000000, R3 = 25000;
    enum { In, TrebleTop, Out, TrebleFoot, MidTop, Slope, MidWiper, Ground, Nodes };
    using cd = std::complex<double>;
    cd Y[Nodes][Nodes] = {};
    auto link = [&](int a, int b, cd y) {
        Y[a][a] += y;
        Y[b][b] += y;
        Y[a][b] -= y;
        Y[b][a] -= y;
    };
    auto resistor = [&](int a, int b, double r) { link(a, b, 1.0 / std::max(r, 1e-3)); };
    link(In, TrebleTop, s * C1);
    resistor(TrebleTop, Out, (1 - t) * R1);
    resistor(Out, TrebleFoot, t * R1);
    resistor(TrebleFoot, MidTop, l * R2);
    resistor(MidTop, MidWiper, (1 - m) * R3);
    resistor(MidWiper, Ground, m * R3);
    resistor(In, Slope, R4);
    link(Slope, TrebleFoot, s * C2);
    link(Slope, MidWiper, s * C3);

    // Unknowns: the nodes between In (1 V) and Ground (0 V); Gauss-Jordan with partial pivoting.
    const int first = TrebleTop, n = Ground - TrebleTop;
    cd A[Nodes][Nodes + 1] = {};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) A[i][j] = Y[first + i][first + j];
        A[i][n] = -Y[first + i][In];
    }
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::abs(A[r][col]) > std::abs(A[pivot][col])) pivot = r;
        for (int c = 0; c <= n; ++c) std::swap(A[col][c], A[pivot][c]);
        for (int r = 0; r < n; ++r) {
            if (r == col) continue;
            const cd factor = A[r][col] / A[col][col];
            for (int c = col; c <= n; ++c) A[r][c] -= factor * A[col][c];
        }
    }
    return A[Out - first][n] / A[Out - first][Out - first];
}

ToneStack makeStack(double rate)
{
    ToneStack t;
    t.setup(4.7e-10, 2.2e-8, 2.2e-8, 250000, 1000000, 25000, 94000, rate);
    return t;
}

} // namespace

TEST(ToneStack, BassTaper)
{
    EXPECT_NEAR(toneStackBassTaper(0.0), 0.00995, 0.00001);
    EXPECT_NEAR(toneStackBassTaper(0.5), 0.0995, 0.0001);
    EXPECT_NEAR(toneStackBassTaper(1.0), 0.9954, 0.0001);
}

TEST(ToneStack, MatchesANodalAnalysisOfTheCircuit)
{
    // The digital response at w must equal the circuit's at s = j*c*tan(w/2) (bilinear, c = 2*rate).
    const double controls[] = {0.0, 0.3, 0.5, 1.0};
    for (double rate : {176400.0, 384000.0}) {
        ToneStack t = makeStack(rate);
        for (double low : controls)
            for (double mid : controls)
                for (double high : controls)
                    for (double contour : controls) {
                        double s = 0;
                        t.process(mid, contour, low, high, s);
                        for (double f : {30.0, 200.0, 1000.0, 5000.0, 15000.0}) {
                            const double w = 2 * amp_test::kPi * f / rate;
                            const std::complex<double> sa(0.0, 2 * rate * std::tan(w / 2));
                            const double expected = std::abs(
                                circuitResponse(sa, high, mid, toneStackBassTaper(low), contour * 94000));
                            EXPECT_NEAR(toneStackGain(t, f, rate), expected, 1e-6 * expected + 1e-9)
                                << "low " << low << " mid " << mid << " high " << high << " contour " << contour
                                << " f " << f << " rate " << rate;
                        }
                    }
    }
}

TEST(ToneStack, BlocksDc)
{
    ToneStack t = makeStack(176400);
    double s = 0;
    for (int n = 0; n < 200000; ++n) {
        s = 1.0;
        t.process(0.7, 0.4, 1.0, 0.2, s);
    }
    EXPECT_NEAR(s, 0.0, 1e-6);
}

TEST(ToneStack, MeasuredToneMatchesCoefficientsAndSetupRestartsFromSilence)
{
    const double rate = 176400;
    ToneStack t = makeStack(rate);
    std::vector<double> out;
    for (int n = 0; n < 17640; ++n) {
        double s = std::sin(2 * amp_test::kPi * 440.0 * n / rate);
        t.process(0.5, 0.5, 0.5, 0.5, s);
        out.push_back(s);
    }
    EXPECT_NEAR(amp_test::toneAmplitude(out, 8820, 17640, 440, rate), toneStackGain(t, 440, rate), 2e-3);

    t.setup(makeToneStackDesign(ToneStackComponents{}, rate));
    EXPECT_EQ(t.s1, 0.0);
    EXPECT_EQ(t.s2, 0.0);
    EXPECT_EQ(t.s3, 0.0);
    double s = 0;
    t.process(0.5, 0.5, 0.5, 0.5, s);
    EXPECT_EQ(s, 0.0);
}
