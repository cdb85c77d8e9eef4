#pragma once
// One cabinet's block convolution (overlap-add of B-sample blocks in N-point transforms) with its two
// output filters. The section that owns two of these supplies the shared input spectrum and the kernel.

#include <vector>

#include "cabinet/cab_filter.h"
#include "cabinet/real_fft.h"

namespace cabinet {

class CabinetConvolver {
public:
    CabinetConvolver();

    // N-double buffers; empty until allocate().
    std::vector<double> internal;  // prepared built-in response
    std::vector<double> product;
    std::vector<double> result;
    std::vector<double> overlap;  // slots 0 .. N-B-1 carry the tail; N-B .. N-1 stay 0
    std::vector<double> output;   // slots 0 .. B-1: filtered output of the current block

    CabFilter lowpass;
    CabFilter highpass;

    // Every buffer becomes n zeros. May throw std::bad_alloc.
    void allocate(int n);
    void clearBlock() noexcept;  // overlap and output block

    // One block: product = xf x kernel / N, inverse, output[0..b) = overlap + result through the low-pass
    // and high-pass, new overlap from result[b..n). Fft::kSize must equal the buffers' length.
    // A filter whose corner moved glides there over this block (a high-pass dropping more than an octave
    // fades to its new design instead).
    template <class Fft>
    void convolve(Fft& fft, const double* xf, const double* kernel, int b, double lowpassHz, double highpassHz,
                  double fs) noexcept;

    // The block of a cabinet that does not run: zeros out and no tail carried.
    void silence(int b) noexcept;

private:
    static constexpr double kFadeBelow = 0.5;  // a high-pass corner dropping below this share fades, not glides
    // The filters over one block while a corner moves (see convolve).
    void filterMoving(const double* in1, const double* in2, double* out, int b, double lowpassHz, double highpassHz,
                      double fs) noexcept;
};

extern template void CabinetConvolver::convolve(RealFft2048&, const double*, const double*, int, double, double,
                                                double) noexcept;
extern template void CabinetConvolver::convolve(RealFft4096&, const double*, const double*, int, double, double,
                                                double) noexcept;

}  // namespace cabinet
