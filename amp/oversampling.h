// How much the amp model oversamples at a given host rate and quality.
#pragma once

namespace amp {

// 4 below 50 kHz, 2 from there up; HighQ doubles it.
constexpr int oversamplingFactor(double hostRate, bool highQ) noexcept
{
    const int base = hostRate < 50000.0 ? 4 : 2;
    return highQ ? 2 * base : base;
}

constexpr double oversampledRate(double hostRate, bool highQ) noexcept
{
    return hostRate * oversamplingFactor(hostRate, highQ);
}

} // namespace amp
