#include "reference_real_fft.h"

#include <cmath>
#include <numbers>

namespace cabinet::reference {
namespace {

constexpr double kHalfSqrt2 = 0.7071067811865476;

// ---- forward passes (decimation in time) ----

// First and second stage together, reading x in bit-reversed order.
template <int N>
void forwardFirst(const double* x, double* d, const std::int32_t* rev) noexcept
{
    for (int c = 0; c < N; c += 4) {
        const int r0 = rev[c >> 2];
        const int r1 = r0 + N / 2;
        const int r2 = r0 + N / 4;
        const int r3 = r0 + 3 * N / 4;
        d[c + 1] = x[r0] - x[r1];
        d[c + 3] = x[r2] - x[r3];
        const double s0 = x[r0] + x[r1];
        const double s2 = x[r2] + x[r3];
        d[c] = s0 + s2;
        d[c + 2] = s0 - s2;
    }
}

template <int N>
void forwardThird(const double* d, double* e) noexcept
{
    for (int c = 0; c < N; c += 8) {
        e[c] = d[c] + d[c + 4];
        e[c + 4] = d[c] - d[c + 4];
        e[c + 2] = d[c + 2];
        e[c + 6] = d[c + 6];
        double v = (d[c + 5] - d[c + 7]) * kHalfSqrt2;
        e[c + 1] = d[c + 1] + v;
        e[c + 3] = d[c + 1] - v;
        v = (d[c + 5] + d[c + 7]) * kHalfSqrt2;
        e[c + 5] = v + d[c + 3];
        e[c + 7] = v - d[c + 3];
    }
}

template <int N, int D>
inline void forwardButterfly(const double* s, double* g, const double* cosine, int c, int i) noexcept
{
    constexpr int t = (N / 4) / D;
    const double cs = cosine[i * t];
    const double sn = cosine[(D - i) * t];
    const double u = s[c + 2 * D + i] * cs - s[c + 3 * D + i] * sn;
    g[c + i] = s[c + i] + u;
    g[c + 2 * D - i] = s[c + i] - u;
    const double w = s[c + 2 * D + i] * sn + s[c + 3 * D + i] * cs;
    g[c + 2 * D + i] = w + s[c + D + i];
    g[c + 4 * D - i] = w - s[c + D + i];
}

// One stage of half-width D; two butterflies per loop step.
template <int N, int D>
void forwardStage(const double* s, double* g, const double* cosine) noexcept
{
    for (int c = 0; c < N; c += 4 * D) {
        g[c] = s[c] + s[c + 2 * D];
        g[c + 2 * D] = s[c] - s[c + 2 * D];
        g[c + D] = s[c + D];
        g[c + 3 * D] = s[c + 3 * D];
        int i = 1;
        for (; i + 1 < D; i += 2) {
            forwardButterfly<N, D>(s, g, cosine, c, i);
            forwardButterfly<N, D>(s, g, cosine, c, i + 1);
        }
        forwardButterfly<N, D>(s, g, cosine, c, i);  // D - 1 is odd: one left over
    }
}

// Stages D, 2D, ..., N/4, alternating between the two arrays.
template <int N, int D>
void forwardStages(double* s, double* g, const double* cosine) noexcept
{
    forwardStage<N, D>(s, g, cosine);
    if constexpr (D < N / 4) forwardStages<N, 2 * D>(g, s, cosine);
}

// ---- inverse passes (the same stages undone in reverse order) ----

template <int N, int D>
inline void inverseButterfly(const double* s, double* g, const double* cosine, int c, int i) noexcept
{
    constexpr int t = (N / 4) / D;
    const double cs = cosine[i * t];
    const double sn = cosine[(D - i) * t];
    g[c + i] = s[c + i] + s[c + 2 * D - i];
    g[c + D + i] = s[c + 2 * D + i] - s[c + 4 * D - i];
    const double vr = s[c + i] - s[c + 2 * D - i];
    const double vi = s[c + 2 * D + i] + s[c + 4 * D - i];
    g[c + 2 * D + i] = vr * cs + vi * sn;
    g[c + 3 * D + i] = vi * cs - vr * sn;
}

template <int N, int D>
void inverseStage(const double* s, double* g, const double* cosine) noexcept
{
    for (int c = 0; c < N; c += 4 * D) {
        g[c] = s[c] + s[c + 2 * D];
        g[c + 2 * D] = s[c] - s[c + 2 * D];
        g[c + D] = 2.0 * s[c + D];
        g[c + 3 * D] = 2.0 * s[c + 3 * D];
        int i = 1;
        for (; i + 1 < D; i += 2) {
            inverseButterfly<N, D>(s, g, cosine, c, i);
            inverseButterfly<N, D>(s, g, cosine, c, i + 1);
        }
        inverseButterfly<N, D>(s, g, cosine, c, i);
    }
}

// Stages D, D/2, ..., 4. The first reads the caller's spectrum; each writes `g`, then the roles swap.
template <int N, int D>
void inverseStages(const double* s, double* g, double* other, const double* cosine) noexcept
{
    inverseStage<N, D>(s, g, cosine);
    if constexpr (D > 4) inverseStages<N, D / 2>(g, other, g, cosine);
}

template <int N>
void inverseThird(const double* s, double* g) noexcept
{
    for (int c = 0; c < N; c += 8) {
        g[c] = s[c] + s[c + 4];
        g[c + 4] = s[c] - s[c + 4];
        g[c + 2] = 2.0 * s[c + 2];
        g[c + 6] = 2.0 * s[c + 6];
        g[c + 1] = s[c + 1] + s[c + 3];
        g[c + 3] = s[c + 5] - s[c + 7];
        const double vr = s[c + 1] - s[c + 3];
        const double vi = s[c + 5] + s[c + 7];
        g[c + 5] = (vr + vi) * kHalfSqrt2;
        g[c + 7] = (vi - vr) * kHalfSqrt2;
    }
}

template <int N>
void inverseLast(const double* s, double* x, const std::int32_t* rev) noexcept
{
    for (int c = 0; c < N; c += 4) {
        const double b0 = s[c] + s[c + 2];
        const double b1 = 2.0 * s[c + 1];
        const double b2 = s[c] - s[c + 2];
        const double b3 = 2.0 * s[c + 3];
        const int r0 = rev[c >> 2];
        x[r0] = b0 + b1;
        x[r0 + N / 2] = b0 - b1;
        x[r0 + N / 4] = b2 + b3;
        x[r0 + 3 * N / 4] = b2 - b3;
    }
}

constexpr std::int32_t reverseBits(std::int32_t v, int bits) noexcept
{
    std::int32_t r = 0;
    for (int b = 0; b < bits; ++b) {
        r = (r << 1) | (v & 1);
        v >>= 1;
    }
    return r;
}

}  // namespace

template <int L>
RealFftL<L>::RealFftL()
    : work_(std::make_unique<double[]>(kSize)),
      bitReverse_(std::make_unique<std::int32_t[]>(kQuarter)),
      cosine_(std::make_unique<double[]>(kQuarter))
{
    const double step = 2.0 * std::numbers::pi / kSize;
    for (int i = 0; i < kQuarter; ++i) {
        cosine_[i] = std::cos(static_cast<double>(i) * step);
        bitReverse_[i] = reverseBits(4 * i, L);
    }
}

// L - 1 passes alternate between two arrays; the first pass writes `a`, so the last one (index L - 2) lands in
// `a` when L is even. For the forward transform that last array must be f, for the inverse it must be x.
template <int L>
void RealFftL<L>::forward(const double* x, double* f) noexcept
{
    double* a = (L % 2 == 0) ? f : work_.get();
    double* b = (L % 2 == 0) ? work_.get() : f;
    forwardFirst<kSize>(x, a, bitReverse_.get());
    forwardThird<kSize>(a, b);
    forwardStages<kSize, 4>(b, a, cosine_.get());
}

template <int L>
void RealFftL<L>::inverse(const double* f, double* x) noexcept
{
    double* a = (L % 2 == 0) ? x : work_.get();
    double* b = (L % 2 == 0) ? work_.get() : x;
    // L - 3 stages starting in `a`; the last of them lands in `a` when L - 3 is odd, i.e. when L is even.
    inverseStages<kSize, kSize / 4>(f, a, b, cosine_.get());
    double* afterStages = (L % 2 == 0) ? a : b;
    double* other = (afterStages == a) ? b : a;
    inverseThird<kSize>(afterStages, other);
    inverseLast<kSize>(other, afterStages, bitReverse_.get());
}

template <int L>
void RealFftL<L>::rescale(double* x) const noexcept
{
    constexpr double scale = 1.0 / kSize;
    for (int i = kSize - 4; i >= 0; i -= 4) {
        x[i + 3] *= scale;
        x[i + 2] *= scale;
        x[i + 1] *= scale;
        x[i] *= scale;
    }
}

template class RealFftL<11>;
template class RealFftL<12>;

}  // namespace cabinet::reference
