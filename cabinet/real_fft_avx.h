#pragma once
// The real FFT's passes on AVX vectors (real_fft_avx.cpp, the only file built with AVX enabled). Call only
// where the processor and system support AVX. Arguments as for the SSE2 kernels in real_fft.cpp.

namespace cabinet::avx {

template <int M>
void forward(const double* x, double* f, double* work, const double* twiddle) noexcept;
template <int M>
void inverse(const double* f, double* x, double* work, const double* twiddle) noexcept;

extern template void forward<1024>(const double*, double*, double*, const double*) noexcept;
extern template void forward<2048>(const double*, double*, double*, const double*) noexcept;
extern template void inverse<1024>(const double*, double*, double*, const double*) noexcept;
extern template void inverse<2048>(const double*, double*, double*, const double*) noexcept;

}  // namespace cabinet::avx
