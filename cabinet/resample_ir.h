#pragma once
// Brings an impulse response from its own sample rate to another one (cubic Hermite interpolation with
// Catmull-Rom tangents). Allocates; never called on the audio path.

#include <limits>
#include <vector>

namespace cabinet {

// The length of n samples at the source rate once brought to the target rate: ceil(target * ((n - 1) / source)),
// at most INT_MAX. Fewer than two samples, or a rate that is not finite and positive, keep their length.
int resampled_length(int n, double target, double source) noexcept;

// Returns m = resampled_length(n, target, source) samples at the target rate. Fewer than two input samples, or
// a rate that is not finite and positive, return the input unchanged (there is nothing to interpolate).
// Callers keep at most the convolver's IR length limit of the result; `keep` returns only the first
// min(m, keep) samples (the same values, without building the rest), which bounds the work at odd rates.
// May throw std::bad_alloc.
std::vector<double> resample_ir(const double* in, int n, double target, double source,
                                int keep = std::numeric_limits<int>::max());

}  // namespace cabinet
