#pragma once
// Real-input FFT of a fixed power-of-two length, one specialisation per length.
//
// PackedSpectrum (N doubles), the layout of every spectrum in the cabinet code and in a program record,
// with X[k] = sum_n x[n] * exp(-2*pi*i*k*n/N):
//   slot 0            Re X[0]   (DC)
//   slot k            Re X[k]   for 1 <= k < N/2
//   slot N/2          Re X[N/2] (Nyquist)
//   slot N/2 + k     -Im X[k]   for 1 <= k < N/2 (sign inverted: each bin is stored as its conjugate)
// Because each pair is the conjugate of X[k], the pairwise complex product of two packed spectra (slots 0 and
// N/2 multiplied as reals) is the packed spectrum of the circular convolution of the two signals.
//
// Scaling: neither direction scales. forward of a signal gives f[0] = sum of the samples; inverse(forward(x))
// gives N * x, so every inverse is followed by rescale().
// Aliasing: input and output must be different arrays for forward and inverse. Neither needs any alignment.
// Thread-safety: the constant tables are shared, but forward and inverse use the object's work buffers, so one
// object serves one caller at a time; rescale keeps no state and may run anywhere.
// Cost: no allocation and no trigonometry after construction.
//
// Method (cabinet/real_fft_kernels.h): a radix-4 FFT of N/2 complex points on the samples read in pairs, then
// the two half-length spectra separated; SSE2 vectors, or AVX ones where the processor has them. Both give
// bit-identical results.

#include <cstddef>
#include <memory>
#include <new>

namespace cabinet {

class RealFft {
public:
    virtual ~RealFft() = default;
    virtual int size() const noexcept = 0;
    // x: N samples, only read. f: receives the PackedSpectrum; must not be x.
    virtual void forward(const double* x, double* f) noexcept = 0;
    // f: a PackedSpectrum, only read. x: receives N times the signal; must not be f.
    virtual void inverse(const double* f, double* x) noexcept = 0;
    // Multiplies N samples in place by 1/N.
    virtual void rescale(double* x) const noexcept = 0;
};

// Frees what alignedDoubles allocated.
struct AlignedDelete {
    void operator()(double* p) const noexcept { ::operator delete[](p, std::align_val_t{64}); }
};
using AlignedDoubles = std::unique_ptr<double[], AlignedDelete>;

enum class FftVectors {
    Widest,  // AVX when the processor and system support it, else SSE2
    Sse2,    // SSE2 whatever the processor offers (tests compare the two)
};

// Length N = 2^L. Pass count, strides and loop bounds are compile-time constants.
template <int L>
class RealFftL final : public RealFft {
    static_assert(L == 11 || L == 12, "only the cabinets' two lengths are built");

public:
    static constexpr int kSize = 1 << L;
    static constexpr int kHalf = kSize / 2;  // length of the complex transform

    // Allocates and fills the tables; may throw std::bad_alloc.
    explicit RealFftL(FftVectors vectors = FftVectors::Widest);
    RealFftL(const RealFftL&) = delete;
    RealFftL& operator=(const RealFftL&) = delete;

    int size() const noexcept override { return kSize; }
    void forward(const double* x, double* f) noexcept override;
    void inverse(const double* f, double* x) noexcept override;
    void rescale(double* x) const noexcept override;

    // True when the transforms run on AVX vectors.
    bool usesAvx() const noexcept { return usesAvx_; }

private:
    using Kernel = void (*)(const double* in, double* out, double* work, const double* twiddle) noexcept;

    AlignedDoubles work_;     // two split complex buffers of kHalf points: 2 * kSize doubles
    AlignedDoubles twiddle_;  // per-pass radix-4 twiddles, then the separation twiddles
    Kernel forward_ = nullptr;
    Kernel inverse_ = nullptr;
    bool usesAvx_ = false;
};

extern template class RealFftL<11>;
extern template class RealFftL<12>;

using RealFft2048 = RealFftL<11>;
using RealFft4096 = RealFftL<12>;

// Both lengths the cabinets use, for callers that know N only at run time.
struct RealFftPair {
    RealFft2048 fft2048;
    RealFft4096 fft4096;

    // The transform of length n, or nullptr for any other length.
    RealFft* pick(int n) noexcept
    {
        if (n == RealFft2048::kSize) return &fft2048;
        if (n == RealFft4096::kSize) return &fft4096;
        return nullptr;
    }
};

}  // namespace cabinet
