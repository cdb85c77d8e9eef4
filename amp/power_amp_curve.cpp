#include "amp/power_amp_curve.h"

#include <cmath>
#include <cstddef>

namespace amp {
namespace {

constexpr std::size_t kPoints = powerAmpCurvePoints.size();

int gridIndex(double x) noexcept { return static_cast<int>(std::lround(x * 10.0)) + powerAmpTableZero; }

double gridX(int i) noexcept { return static_cast<double>(i - powerAmpTableZero) / 10.0; }

bool sameSign(double a, double b) noexcept { return (a > 0.0 && b > 0.0) || (a < 0.0 && b < 0.0); }

// End slope of the shape-preserving interpolant: a three-point estimate, zeroed when it points
// against the data and capped at three times the secant when the data turn right after the end.
double endSlope(double h0, double h1, double d0, double d1) noexcept
{
    double m = ((2.0 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
    if (!sameSign(m, d0))
        m = 0.0;
    else if (!sameSign(d0, d1) && std::fabs(m) > std::fabs(3.0 * d0))
        m = 3.0 * d0;
    return m;
}

PowerAmpTable buildTable() noexcept
{
    const auto& p = powerAmpCurvePoints;
    std::array<double, kPoints - 1> h{};     // interval widths
    std::array<double, kPoints - 1> delta{}; // secant slopes
    for (std::size_t k = 0; k + 1 < kPoints; ++k) {
        h[k] = p[k + 1].x - p[k].x;
        delta[k] = (p[k + 1].y - p[k].y) / h[k];
    }

    // Fritsch-Carlson slopes: weighted harmonic mean of the neighbouring secants, zero at a turn.
    std::array<double, kPoints> m{};
    m[0] = endSlope(h[0], h[1], delta[0], delta[1]);
    m[kPoints - 1] = endSlope(h[kPoints - 2], h[kPoints - 3], delta[kPoints - 2], delta[kPoints - 3]);
    for (std::size_t k = 1; k + 1 < kPoints; ++k) {
        if (!sameSign(delta[k - 1], delta[k])) {
            m[k] = 0.0;
        } else {
            const double w1 = 2.0 * h[k] + h[k - 1];
            const double w2 = h[k] + 2.0 * h[k - 1];
            m[k] = (w1 + w2) / (w1 / delta[k - 1] + w2 / delta[k]);
        }
    }

    PowerAmpTable table{};
    std::size_t k = 0;
    for (int i = 0; i < powerAmpTableSize; ++i) {
        const double x = gridX(i);
        while (k + 2 < kPoints && gridIndex(p[k + 1].x) <= i) ++k;
        double y;
        if (gridIndex(p[k].x) == i) {
            y = p[k].y;
        } else if (gridIndex(p[k + 1].x) == i) {
            y = p[k + 1].y;
        } else {
            const double t = (x - p[k].x) / h[k];
            const double t2 = t * t;
            const double t3 = t2 * t;
            y = (2.0 * t3 - 3.0 * t2 + 1.0) * p[k].y + (t3 - 2.0 * t2 + t) * h[k] * m[k]
                + (-2.0 * t3 + 3.0 * t2) * p[k + 1].y + (t3 - t2) * h[k] * m[k + 1];
        }
        table[static_cast<std::size_t>(i)] = {x, y};
    }
    return table;
}

} // namespace

const PowerAmpTable& powerAmpTable() noexcept
{
    static const PowerAmpTable table = buildTable();
    return table;
}

const PowerAmpCells& powerAmpCells() noexcept
{
    static const PowerAmpCells cells = [] {
        const PowerAmpTable& table = powerAmpTable();
        PowerAmpCells c{};
        // Every cell a lookup inside (-180, 180) can reach, 199 .. 3799, with its four points in the table.
        for (std::size_t i = 1; i + 2 < table.size(); ++i) {
            const double y0 = table[i - 1].y, y1 = table[i].y, y2 = table[i + 1].y, y3 = table[i + 2].y;
            // The cubic's terms as the lookup has always formed them, each halved (exactly).
            c[i] = {table[i].x,
                    1.0 / (table[i + 1].x - table[i].x),
                    y1,
                    0.5 * (y2 - y0),
                    0.5 * (2.0 * y0 - 5.0 * y1 + 4.0 * y2 - y3),
                    0.5 * (3.0 * (y1 - y2) + y3 - y0)};
        }
        c[powerAmpCellBelow] = {0.0, 0.0, table.front().y, 0.0, 0.0, 0.0};
        c[powerAmpCellAbove] = {0.0, 0.0, table.back().y, 0.0, 0.0, 0.0};
        return c;
    }();
    return cells;
}

} // namespace amp
