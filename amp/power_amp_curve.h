// Static, inverting, saturating transfer curve of the power amp, held as a table on a 0.1 grid and
// read with a Catmull-Rom cubic.
#pragma once

#include <emmintrin.h>

#include <array>

namespace amp {

struct CurvePoint {
    double x;
    double y;
};

// The measured points the table is drawn through (drive in, output out).
inline constexpr std::array<CurvePoint, 46> powerAmpCurvePoints{{
    {-199.9, 0.446188007274},
    {-180, 0.446474696554},
    {-150, 0.445472466235},
    {-100, 0.443322496416},
    {-50, 0.440211064561},
    {-30, 0.438532563076},
    {-20, 0.437561075239},
    {-10, 0.436482240167},
    {-6, 0.436005800255},
    {-5, 0.435783102653},
    {-4, 0.43464133054},
    {-3.6, 0.432965009225},
    {-3.4, 0.431413085606},
    {-3.2, 0.429000368348},
    {-3, 0.425145363936},
    {-2.8, 0.418715435267},
    {-2.6, 0.407479664827},
    {-2.4, 0.387806699319},
    {-2.2, 0.356763965448},
    {-2, 0.315293952653},
    {-1.8, 0.264232746206},
    {-1.6, 0.203768687526},
    {-1.4, 0.143323397785},
    {-1.2, 0.088195569036},
    {-1, 0.043845888819},
    {-0.8, 0.011559753046},
    {-0.6, -0.017425943321},
    {-0.4, -0.059721975885},
    {-0.2, -0.125787539203},
    {0, -0.212997229504},
    {0.2, -0.311335894555},
    {0.4, -0.395540619346},
    {0.6, -0.429076434698},
    {0.8, -0.438882595724},
    {1, -0.443121066843},
    {1.4, -0.447013745907},
    {2, -0.447649375658},
    {5, -0.447912297758},
    {10, -0.448091077554},
    {20, -0.448251173058},
    {30, -0.44831695176},
    {50, -0.448326803687},
    {100, -0.44797866076},
    {150, -0.447069247163},
    {180, -0.446220847891},
    {200, -0.445548982451},
}};

inline constexpr int powerAmpTableSize = 4000;
// Table index of drive 0: X_i = (i - powerAmpTableZero) / 10.
inline constexpr int powerAmpTableZero = 1999;

using PowerAmpTable = std::array<CurvePoint, powerAmpTableSize>;

// The table, built on first use (thread-safe) by a monotone piecewise cubic Hermite interpolation
// through the points above; it passes exactly through each of them and never overshoots between.
const PowerAmpTable& powerAmpTable() noexcept;

// The Catmull-Rom cubic of each grid cell [X_i, X_i+1) as a polynomial in t = (x - X_i) * invWidth, its
// coefficients worked out once from the four table points around the cell.
struct PowerAmpCell {
    double x0;       // X_i
    double invWidth; // 1 / (X_i+1 - X_i)
    double c0, c1, c2, c3;
};

// Cells by grid index, plus two constant cells for drives beyond the ends.
inline constexpr int powerAmpCellBelow = powerAmpTableSize;     // x <= -180, and NaN
inline constexpr int powerAmpCellAbove = powerAmpTableSize + 1; // x >= 180
using PowerAmpCells = std::array<PowerAmpCell, powerAmpTableSize + 2>;

// Built on first use (thread-safe) from powerAmpTable(). Take it once outside the audio loop: every call
// passes a guard.
const PowerAmpCells& powerAmpCells() noexcept;

// Output of the curve for drive x: the table's end values at and beyond +-180 (NaN counts as the low end).
// No branch: the cell is chosen by compare masks, and truncation stands in for rounding down.
inline double powerAmpCurve(const PowerAmpCell* cells, double x) noexcept
{
    const auto select = [](__m128d mask, __m128d ifSet, __m128d ifClear) noexcept {
        return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, ifClear));
    };
    const __m128d v = _mm_set_sd(x);
    const __m128d above = _mm_cmpge_sd(v, _mm_set_sd(180.0));
    const __m128d inside = _mm_cmpgt_sd(v, _mm_set_sd(-180.0)); // false for NaN
    // Clamped, so the grid position stays in range; zero from -180 down (and for NaN), so the end cells'
    // zero width always gives t = 0.
    const __m128d xc = _mm_and_pd(inside, _mm_max_sd(_mm_min_sd(v, _mm_set_sd(180.0)), _mm_set_sd(-180.0)));
    const __m128d grid = _mm_add_sd(_mm_mul_sd(_mm_set_sd(10.0), xc), _mm_set_sd(double{powerAmpTableZero}));
    const __m128d pick = select(inside, select(above, _mm_set_sd(double{powerAmpCellAbove}), grid),
                                _mm_set_sd(double{powerAmpCellBelow}));
    const PowerAmpCell& c = cells[_mm_cvttsd_si32(pick)];
    const double t = (_mm_cvtsd_f64(xc) - c.x0) * c.invWidth;
    return c.c0 + t * (c.c1 + t * (c.c2 + t * c.c3));
}

inline double powerAmpCurve(double x) noexcept { return powerAmpCurve(powerAmpCells().data(), x); }

} // namespace amp
