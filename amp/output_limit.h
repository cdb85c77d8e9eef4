// The last line of defence at the host boundary: whatever happens inside, what leaves a plug-in is a
// finite number within +-kOutputLimit (about +30 dBFS). Normal output stays far below it (the loudest
// reference render peaks near 1.5), so it never shapes the sound; it only stops a fault from reaching
// speakers and ears.
#pragma once

#include <cmath>

namespace amp {

inline constexpr float kOutputLimit = 32.0f;

inline float limitOutput(double v) noexcept
{
    if (std::fabs(v) <= static_cast<double>(kOutputLimit)) return static_cast<float>(v);
    if (v > 0.0) return kOutputLimit;
    if (v < 0.0) return -kOutputLimit;
    return 0.0f;  // not a number
}

} // namespace amp
