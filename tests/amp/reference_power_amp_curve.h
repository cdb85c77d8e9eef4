// The power-amp curve lookup as it was before per-cell coefficients (floor, then a division), kept as the
// yardstick the faster lookup is checked against.
#pragma once

#include <cmath>
#include <cstddef>

#include "amp/power_amp_curve.h"

namespace amp::reference {

inline double powerAmpCurve(double x) noexcept
{
    const PowerAmpTable& table = powerAmpTable();
    if (x >= 180.0) return table[powerAmpTableSize - 1].y;
    if (!(x > -180.0)) return table[0].y;

    const int i = static_cast<int>(std::floor(10.0 * x + powerAmpTableZero));
    const double t = (x - table[static_cast<std::size_t>(i)].x)
                     / (table[static_cast<std::size_t>(i + 1)].x - table[static_cast<std::size_t>(i)].x);
    const double y0 = table[static_cast<std::size_t>(i - 1)].y;
    const double y1 = table[static_cast<std::size_t>(i)].y;
    const double y2 = table[static_cast<std::size_t>(i + 1)].y;
    const double y3 = table[static_cast<std::size_t>(i + 2)].y;
    return y1 + 0.5 * t * ((y2 - y0) + t * ((2.0 * y0 - 5.0 * y1 + 4.0 * y2 - y3) + t * (3.0 * (y1 - y2) + y3 - y0)));
}

} // namespace amp::reference
