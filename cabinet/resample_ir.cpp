#include "cabinet/resample_ir.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cabinet {
namespace {

bool usableRate(double r) noexcept { return std::isfinite(r) && r > 0.0; }

}  // namespace

int resampled_length(int n, double target, double source) noexcept
{
    if (n < 2 || !usableRate(target) || !usableRate(source)) return std::max(n, 0);
    const double span = target * (static_cast<double>(n - 1) / source);
    constexpr int kMaxLength = std::numeric_limits<int>::max();
    return span < static_cast<double>(kMaxLength) ? static_cast<int>(std::ceil(span)) : kMaxLength;
}

std::vector<double> resample_ir(const double* in, int n, double target, double source, int keep)
{
    if (n < 2 || !usableRate(target) || !usableRate(source)) {
        return n > 0 ? std::vector<double>(in, in + n) : std::vector<double>();
    }
    const int m = resampled_length(n, target, source);
    // Only the last sample depends on m; when it is cut off, every kept sample is an interpolated one.
    const int built = keep < m ? std::max(keep, 0) : m;
    std::vector<double> out(static_cast<std::size_t>(built));
    if (built == 0) return out;

    // Both time grids are running sums, so their rounding matches what the grids are compared against.
    std::vector<double> tin(static_cast<std::size_t>(n));
    std::vector<double> tout(static_cast<std::size_t>(built));
    const double stepIn = 1.0 / source;
    const double stepOut = 1.0 / target;
    tin[0] = 0.0;
    for (int i = 1; i < n; ++i) tin[i] = tin[i - 1] + stepIn;
    tout[0] = 0.0;
    for (int j = 1; j < built; ++j) tout[j] = tout[j - 1] + stepOut;

    out[0] = in[0];
    if (built == 1) return out;
    out[1] = in[0] + (tout[1] - tout[0]) * (in[1] - in[0]) / (tin[1] - tin[0]);

    auto at = [&](int i) { return i >= 0 && i < n ? in[i] : 0.0; };
    int seg = 0;
    const int lastInterpolated = built < m ? built - 1 : m - 2;
    for (int j = 2; j <= lastInterpolated; ++j) {
        // Advance while the next input time is not after tout[j]: on an exact hit the later segment wins.
        while (seg + 1 <= n - 2 && tin[seg + 1] <= tout[j]) ++seg;
        const double x = (tout[j] - tin[seg]) / (tin[seg + 1] - tin[seg]);
        const double y0 = in[seg];
        const double y1 = in[seg + 1];
        const double ym = at(seg - 1);
        const double yp = at(seg + 2);
        const double s0 = (y1 - ym) / 2.0;
        const double s1 = (yp - y0) / 2.0;
        const double a = s0 + s1 + 2.0 * (y0 - y1);
        const double b = s0 + (y0 - y1) + a;
        out[j] = y0 + x * (s0 + x * (x * a - b));
    }

    if (built < m) return out;
    // Straight-line extension of the last input segment; for m = 2 it replaces the value above.
    out[m - 1] = in[n - 1] + (tout[m - 1] - tout[m - 2]) * (in[n - 1] - in[n - 2]) / (tin[n - 1] - tin[n - 2]);
    return out;
}

}  // namespace cabinet
