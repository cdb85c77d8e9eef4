// Everything defined in this file is compiled for AVX (the pragmas below, so that every build of the file
// gets it). Only the real FFT's kernels live here, instantiated for this file's own vector type, so no AVX
// code can end up on the SSE2 path.
#include "cabinet/real_fft_avx.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx")
#endif

#include <immintrin.h>

#include "cabinet/real_fft_kernels.h"

namespace cabinet::avx {
namespace {

struct Avx {
    using V = __m256d;
    static constexpr int W = 4;

    static V load(const double* p) noexcept { return _mm256_load_pd(p); }
    static V loadu(const double* p) noexcept { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) noexcept { _mm256_store_pd(p, v); }
    static void storeu(double* p, V v) noexcept { _mm256_storeu_pd(p, v); }
    static V splat(double v) noexcept { return _mm256_set1_pd(v); }
    static V negate(V v) noexcept { return _mm256_xor_pd(v, _mm256_set1_pd(-0.0)); }
    static V reversed(V v) noexcept { return _mm256_permute_pd(_mm256_permute2f128_pd(v, v, 1), 0b0101); }

    // x[0..7] = (re0, im0, ..., re3, im3) into re, im.
    static void deinterleave(const double* x, V& re, V& im) noexcept
    {
        const V v0 = _mm256_loadu_pd(x), v1 = _mm256_loadu_pd(x + 4);
        const V a = _mm256_permute2f128_pd(v0, v1, 0x20);  // re0 im0 re2 im2
        const V b = _mm256_permute2f128_pd(v0, v1, 0x31);  // re1 im1 re3 im3
        re = _mm256_unpacklo_pd(a, b);
        im = _mm256_unpackhi_pd(a, b);
    }
    static void interleave(double* x, V re, V im) noexcept
    {
        const V lo = _mm256_unpacklo_pd(re, im);  // re0 im0 re2 im2
        const V hi = _mm256_unpackhi_pd(re, im);  // re1 im1 re3 im3
        _mm256_storeu_pd(x, _mm256_permute2f128_pd(lo, hi, 0x20));
        _mm256_storeu_pd(x + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
    }
    // y[4l + r] = row r, lane l.
    static void transposeStore(double* y, V r0, V r1, V r2, V r3) noexcept
    {
        const V a = _mm256_unpacklo_pd(r0, r1), b = _mm256_unpackhi_pd(r0, r1);
        const V c = _mm256_unpacklo_pd(r2, r3), d = _mm256_unpackhi_pd(r2, r3);
        _mm256_store_pd(y, _mm256_permute2f128_pd(a, c, 0x20));
        _mm256_store_pd(y + 4, _mm256_permute2f128_pd(b, d, 0x20));
        _mm256_store_pd(y + 8, _mm256_permute2f128_pd(a, c, 0x31));
        _mm256_store_pd(y + 12, _mm256_permute2f128_pd(b, d, 0x31));
    }
};

using AvxKernels = fft_kernels::Kernels<Avx>;

}  // namespace

template <int M>
void forward(const double* x, double* f, double* work, const double* twiddle) noexcept
{
    AvxKernels::forward<M>(x, f, work, twiddle);
}

template <int M>
void inverse(const double* f, double* x, double* work, const double* twiddle) noexcept
{
    AvxKernels::inverse<M>(f, x, work, twiddle);
}

template void forward<1024>(const double*, double*, double*, const double*) noexcept;
template void forward<2048>(const double*, double*, double*, const double*) noexcept;
template void inverse<1024>(const double*, double*, double*, const double*) noexcept;
template void inverse<2048>(const double*, double*, double*, const double*) noexcept;

}  // namespace cabinet::avx

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
