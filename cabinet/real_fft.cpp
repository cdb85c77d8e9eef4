#include "cabinet/real_fft.h"

#include <emmintrin.h>

#include <cmath>
#include <numbers>

#include "cabinet/real_fft_avx.h"
#include "cabinet/real_fft_kernels.h"

namespace cabinet {
namespace {

// Two doubles; the compilers' vector extensions give the type its arithmetic operators, lane by lane.
struct Sse2 {
    using V = __m128d;
    static constexpr int W = 2;

    static V load(const double* p) noexcept { return _mm_load_pd(p); }
    static V loadu(const double* p) noexcept { return _mm_loadu_pd(p); }
    static void store(double* p, V v) noexcept { _mm_store_pd(p, v); }
    static void storeu(double* p, V v) noexcept { _mm_storeu_pd(p, v); }
    static V splat(double v) noexcept { return _mm_set1_pd(v); }
    static V negate(V v) noexcept { return _mm_xor_pd(v, _mm_set1_pd(-0.0)); }
    static V reversed(V v) noexcept { return _mm_shuffle_pd(v, v, 1); }

    // x[0..3] = (re0, im0, re1, im1) into re, im.
    static void deinterleave(const double* x, V& re, V& im) noexcept
    {
        const V v0 = _mm_loadu_pd(x), v1 = _mm_loadu_pd(x + 2);
        re = _mm_unpacklo_pd(v0, v1);
        im = _mm_unpackhi_pd(v0, v1);
    }
    static void interleave(double* x, V re, V im) noexcept
    {
        _mm_storeu_pd(x, _mm_unpacklo_pd(re, im));
        _mm_storeu_pd(x + 2, _mm_unpackhi_pd(re, im));
    }
    // y[4l + r] = row r, lane l.
    static void transposeStore(double* y, V r0, V r1, V r2, V r3) noexcept
    {
        _mm_store_pd(y, _mm_unpacklo_pd(r0, r1));
        _mm_store_pd(y + 2, _mm_unpacklo_pd(r2, r3));
        _mm_store_pd(y + 4, _mm_unpackhi_pd(r0, r1));
        _mm_store_pd(y + 6, _mm_unpackhi_pd(r2, r3));
    }
};

using Sse2Kernels = fft_kernels::Kernels<Sse2>;

template <int M>
void forwardSse2(const double* x, double* f, double* work, const double* tw) noexcept
{
    Sse2Kernels::forward<M>(x, f, work, tw);
}

template <int M>
void inverseSse2(const double* f, double* x, double* work, const double* tw) noexcept
{
    Sse2Kernels::inverse<M>(f, x, work, tw);
}

bool processorHasAvx() noexcept
{
    // Also checks that the system saves the AVX registers.
    return __builtin_cpu_supports("avx");
}

double* alignedDoubles(int count)
{
    return static_cast<double*>(
        ::operator new[](sizeof(double) * static_cast<std::size_t>(count), std::align_val_t{64}));
}

// cos and -sin of 2*pi*j/n.
void unitRoot(long j, long n, double& re, double& im) noexcept
{
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(n);
    re = std::cos(angle);
    im = -std::sin(angle);
}

}  // namespace

template <int L>
RealFftL<L>::RealFftL(FftVectors vectors)
    : work_(alignedDoubles(2 * kSize)), twiddle_(alignedDoubles(fft_kernels::twiddleCount<kHalf>))
{
    constexpr int M = kHalf;
    constexpr int q = M / 4;
    double* t = twiddle_.get();
    for (int p = 0; p < q; ++p)
        for (int m = 1; m <= 3; ++m) unitRoot(long{m} * p, M, t[(2 * m - 2) * q + p], t[(2 * m - 1) * q + p]);
    t += fft_kernels::firstTwiddles<M>;
    for (int n = M / 4; n >= 8; n /= 4)
        for (int p = 1; p < n / 4; ++p, t += 6)
            for (int m = 1; m <= 3; ++m) unitRoot(long{m} * p, n, t[2 * m - 2], t[2 * m - 1]);
    double* cs = twiddle_.get() + fft_kernels::separationOffset<M>;
    double* sn = cs + fft_kernels::separationLength<M>;
    for (int k = 0; k < fft_kernels::separationLength<M>; ++k) {
        unitRoot(k, kSize, cs[k], sn[k]);
        sn[k] = -sn[k];
    }

    usesAvx_ = vectors == FftVectors::Widest && processorHasAvx();
    forward_ = usesAvx_ ? &avx::forward<M> : &forwardSse2<M>;
    inverse_ = usesAvx_ ? &avx::inverse<M> : &inverseSse2<M>;
}

template <int L>
void RealFftL<L>::forward(const double* x, double* f) noexcept
{
    forward_(x, f, work_.get(), twiddle_.get());
}

template <int L>
void RealFftL<L>::inverse(const double* f, double* x) noexcept
{
    inverse_(f, x, work_.get(), twiddle_.get());
}

template <int L>
void RealFftL<L>::rescale(double* x) const noexcept
{
    constexpr double scale = 1.0 / kSize;
    for (int i = 0; i < kSize; ++i) x[i] *= scale;
}

template class RealFftL<11>;
template class RealFftL<12>;

}  // namespace cabinet
