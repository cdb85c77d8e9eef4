// The demo's and the benchmark's signals and the spectrum the pictures show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/guitar_riff.h"
#include "host/plot.h"

TEST(GuitarRiff, IsDeterministicFiniteAndPeaksAtHalfScale) {
    for (double rate : {8000.0, 44100.0, 192000.0}) {
        const auto riff = vsthost::guitarRiff(rate, 2.0);
        ASSERT_EQ(riff.size(), static_cast<std::size_t>(2.0 * rate)) << rate;
        EXPECT_EQ(riff, vsthost::guitarRiff(rate, 2.0)) << rate;
        float peak = 0.0f;
        for (float v : riff) {
            ASSERT_TRUE(std::isfinite(v)) << rate;
            peak = std::max(peak, std::abs(v));
        }
        EXPECT_NEAR(peak, 0.5f, 1e-6f) << rate;
    }
    // Longer than one pass: the riff repeats rather than falling silent.
    const double pass = vsthost::riffSeconds();
    const auto twice = vsthost::guitarRiff(8000.0, 2.0 * pass);
    const auto second = twice.begin() + static_cast<std::ptrdiff_t>(pass * 8000.0);
    EXPECT_GT(*std::max_element(second, second + 4000), 0.05f);
    EXPECT_TRUE(vsthost::guitarRiff(1.0, 3.0).size() == 3u);  // no string fits: silence, no fault
}

TEST(Spectrum, FullScaleSineReadsOneAtItsBin) {
    constexpr std::size_t size = 4096;
    constexpr double rate = 44100.0;
    const std::size_t bin = 93;  // a sine exactly on a bin
    std::vector<float> sine(5 * size);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * static_cast<double>(bin * i) / size));
    const auto spectrum = vsthost::magnitudeSpectrum(sine, size);
    ASSERT_EQ(spectrum.size(), size / 2 + 1);
    EXPECT_NEAR(spectrum[bin], 1.0, 1e-3);
    EXPECT_NEAR(spectrum[bin + 1], 0.5, 1e-3);  // the Hann window's neighbours
    EXPECT_LT(spectrum[bin + 5], 1e-5);
    (void)rate;
    const auto silent = vsthost::magnitudeSpectrum({}, size);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](double v) { return v == 0.0; }));
}
