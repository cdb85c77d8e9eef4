// The last line of defence at the host boundary: whatever happens inside, what leaves a plug-in is a
// finite number within +-kOutputLimit (about +30 dBFS). Playing stays far below it (the loudest reference
// render peaks near 1.5, a full-scale square wave with every level at maximum near 16), so it never shapes
// the sound; it stops a fault, or a storm of automation flipping switches every few samples, from reaching
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
