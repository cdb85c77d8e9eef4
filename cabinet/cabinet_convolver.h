#pragma once
// One cabinet's block convolution (overlap-add of B-sample blocks in N-point transforms) with its two
// output filters. The section that owns two of these supplies the shared input spectrum.

#include <atomic>
#include <vector>

#include "cabinet/cab_filter.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/real_fft.h"

namespace cabinet {

class CabinetConvolver {
public:
    CabinetConvolver();

    // N-double buffers; empty until allocate().
    std::vector<double> active;    // PackedSpectrum the audio path multiplies with
    std::vector<double> internal;  // prepared built-in response
    std::vector<double> external;  // prepared external response of the current program
    std::vector<double> product;
    std::vector<double> result;
    std::vector<double> overlap;  // slots 0 .. N-B-1 carry the tail; N-B .. N-1 stay 0
    std::vector<double> output;   // slots 0 .. B-1: filtered output of the current block
    // Preparation scratch.
    std::vector<double> time;
    std::vector<double> magnitude;
    std::vector<double> tangent;

    CabFilter lowpass;
    CabFilter highpass;

    // Written by the parameter path while audio runs, hence atomic.
    std::atomic<int> ready{0};
    std::atomic<int> enabled{1};

    bool runs() const noexcept
    {
        return enabled.load(std::memory_order_relaxed) * ready.load(std::memory_order_relaxed) >= 1;
    }

    // Every buffer becomes n zeros. May throw std::bad_alloc (then this object may be partly allocated:
    // allocate a spare and swap it in, see swapBuffers).
    void allocate(int n);
    // Exchanges every buffer with `other`; flags and filters stay.
    void swapBuffers(CabinetConvolver& other) noexcept;
    void clearBlock() noexcept;  // overlap and output block

    // One block: product = xf x active, inverse, rescale, output[0..b) = overlap + result through the low-pass
    // and high-pass, new overlap from result[b..n). Fft::kSize must equal the buffers' length.
    template <class Fft>
    void convolve(Fft& fft, const double* xf, int b, double lowpassHz, double highpassHz, double fs) noexcept;

    // The block of a cabinet that does not run: zeros out and no tail carried.
    void silence(int b) noexcept;
};

extern template void CabinetConvolver::convolve(RealFft2048&, const double*, int, double, double, double) noexcept;
extern template void CabinetConvolver::convolve(RealFft4096&, const double*, int, double, double, double) noexcept;

}  // namespace cabinet
