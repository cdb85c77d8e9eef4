#pragma once
// Turns an impulse response into the normalised, band-limited PackedSpectrum a cabinet multiplies with.

#include <vector>

#include "cabinet/real_fft.h"

namespace cabinet {

// Which high bins are attenuated (by 0.00025, in both slots of the bin) besides the Nyquist bin.
enum class HighBandRule {
    Above11k,      // every bin k with k > N * 11000 / fs (built-in IRs, external IRs restored by a program)
    From10kCab1,   // every bin from trunc(N * 10000 / fs) up to N/2 - 1 (cabinet 1, right after a load)
    Above10kCab2,  // every bin k with k > N * 10000 / fs (cabinet 2, right after a load)
};

// Full preparation: forward transform of `time` (N = fft.size() samples, the IR zero-padded), then
// shape_ir_spectrum. `out` receives the PackedSpectrum and must not be `time`. `magnitude` and `tangent` are
// caller-owned scratch of N doubles each. Allocates nothing.
void prepare_ir_spectrum(RealFft& fft, const double* time, double fs, HighBandRule rule, double* magnitude,
                         double* tangent, double* out) noexcept;

// A response's spectrum for a cabinet of transform length N = fft.size(): at most N/2 + 1 of its `count`
// samples, so that a block's convolution never wraps around the transform; one that fails
// is_prepared_spectrum becomes silence. Allocates; not for the audio path.
void prepare_response_spectrum(RealFft& fft, const double* samples, int count, double fs, HighBandRule rule,
                               std::vector<double>& spectrum);

// Whether n values can be a prepared spectrum: its largest bin magnitude is 1, so no slot exceeds 1 (a
// little rounding allowed). Stored spectra from a damaged project are checked with this before use.
bool is_prepared_spectrum(const double* spectrum, int n) noexcept;

// The same from an existing forward spectrum of length n: scales it so that its largest bin magnitude is 1
// (the magnitude / phase-tangent form, guarded by 1e-20 so an all-zero spectrum stays all zero), attenuates
// the Nyquist bin and the high band of `rule`. `spectrum` and `out` may be the same array.
void shape_ir_spectrum(const double* spectrum, int n, double fs, HighBandRule rule, double* magnitude,
                       double* tangent, double* out) noexcept;

}  // namespace cabinet
