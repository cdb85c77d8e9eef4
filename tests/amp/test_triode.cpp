#include <gtest/gtest.h>

#include <cmath>

#include "amp/triode_stage.h"

using namespace amp;

TEST(TriodeCurve, TellingValues)
{
    struct Row {
        const TriodeCurve* curve;
        const char* name;
        double at[4]; // Vpk at v = -10, -2, 0, +1
    };
    const Row rows[] = {{&curveA, "A", {358.20, 228.97, 71.42, 20.14}},
                        {&curveB, "B", {357.58, 254.56, 117.09, 48.44}},
                        {&curveC, "C", {347.87, 251.78, 113.65, 47.11}},
                        {&curveD, "D", {376.30, 232.64, 74.29, 21.03}}};
    const double v[4] = {-10, -2, 0, 1};
    for (const Row& r : rows)
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(r.curve->vpk(v[k]), r.at[k], 0.01) << "curve" << r.name << " at v=" << v[k];
}

TEST(TriodeStage, RestingPointsOfTheFourDesigns)
{
    struct Row {
        const TriodeConfig* config;
        const char* name;
        double Vp, Vk;
    };
    const Row rows[] = {{&channel1StageConfig, "type A", 253.38, 2.35},
                        {&inputStageConfig, "input", 207.62, 1.25},
                        {&channel2StageConfig, "channel 2 A", 245.95, 1.87},
                        {&outputStageConfig, "type D", 198.05, 1.47}};
    for (const Row& r : rows) {
        TriodeStage s;
        s.setup(*r.config, 176400);
        EXPECT_NEAR(s.Vp, r.Vp, 0.01) << r.name;
        EXPECT_NEAR(s.Vk, r.Vk, 0.01) << r.name;
        // Ip and Vk belong to the last pass together: Vk = Rk * Ip.
        EXPECT_DOUBLE_EQ(s.Vk, r.config->Rk * s.Ip) << r.name;
        EXPECT_EQ(s.y, 0.0) << r.name;
    }
}

TEST(TriodeStage, GridConductionAndCutOff)
{
    TriodeStage s;
    s.setup(inputStageConfig, 176400);

    // Input exactly at the cathode: the conducting branch gives the same grid voltage as the other.
    const double Vk = s.Vk;
    double x = Vk;
    s.process(x, 176400);
    EXPECT_NEAR(s.Vg, Vk, 1e-12);
    EXPECT_NEAR(s.Ig, 0.0, 1e-15);

    // Far below cut-off the plate rises to Bplus + Vk and the plate current is slightly negative.
    s.setup(inputStageConfig, 176400);
    const double VkBefore = s.Vk;
    x = -50;
    s.process(x, 176400);
    EXPECT_DOUBLE_EQ(s.Vp, s.Bplus + VkBefore);
    EXPECT_NEAR(s.Ip, -VkBefore / s.Ra, 1e-15);
    EXPECT_GT(x, 0.0) << "plate swing up for a grid swing down";

    // A large positive drive: the grid clamps near the cathode, the excess drives grid current
    // through Rg, and that current lifts the cathode.
    s.setup(inputStageConfig, 176400);
    const double VkRest = s.Vk;
    x = 40;
    s.process(x, 176400);
    EXPECT_LT(s.Vg - VkRest, 1.0);
    EXPECT_NEAR(s.Ig, (40 - s.Vg) / s.Rg, 1e-12);
    EXPECT_GT(s.Vk, VkRest);
    EXPECT_LT(x, 0.0) << "the stage inverts";
}

TEST(TriodeStage, SmallSignalGainIsInvertingAndBounded)
{
    // A 1 kHz sine of 0.1 V into each design: the output is an inverted, amplified copy.
    const TriodeConfig* configs[] = {&inputStageConfig, &channel1StageConfig, &channel2StageConfig,
                                     &outputStageConfig};
    const double rate = 176400;
    for (const TriodeConfig* c : configs) {
        TriodeStage s;
        s.setup(*c, rate);
        double cross = 0, inPower = 0, outPeak = 0;
        for (int n = 0; n < 17640; ++n) {
            const double in = 0.1 * std::sin(2 * 3.141592653589793 * 1000.0 * n / rate);
            double y = in;
            s.process(y, rate);
            ASSERT_TRUE(std::isfinite(y));
            if (n >= 8820) {
                cross += in * y;
                inPower += in * in;
                outPeak = std::max(outPeak, std::fabs(y));
            }
        }
        const double gain = cross / inPower;
        EXPECT_LT(gain, -5.0) << "Rk=" << c->Rk << " Ra=" << c->Ra;
        EXPECT_GT(gain, -100.0) << "Rk=" << c->Rk << " Ra=" << c->Ra;
        EXPECT_LT(outPeak, c->Bplus);
    }
}
