#pragma once
// The radix-2 real transform the cabinets used before the faster one in cabinet/real_fft, kept as the
// yardstick that transform is checked against. Same packed layout and scaling as cabinet::RealFft.

#include <cstdint>
#include <memory>

namespace cabinet::reference {

// Length N = 2^L. Pass count, strides and loop bounds are compile-time constants.
template <int L>
class RealFftL {
    static_assert(L >= 5 && L <= 20, "length out of the supported range");

public:
    static constexpr int kSize = 1 << L;

    RealFftL();  // allocates and fills the tables; may throw std::bad_alloc
    RealFftL(const RealFftL&) = delete;
    RealFftL& operator=(const RealFftL&) = delete;

    void forward(const double* x, double* f) noexcept;
    void inverse(const double* f, double* x) noexcept;
    void rescale(double* x) const noexcept;

private:
    static constexpr int kQuarter = kSize / 4;

    std::unique_ptr<double[]> work_;             // kSize doubles, meaningless between calls
    std::unique_ptr<std::int32_t[]> bitReverse_; // kQuarter entries: entry c = 4c bit-reversed over L bits
    std::unique_ptr<double[]> cosine_;           // kQuarter entries: cos(i * 2*pi / N)
};

extern template class RealFftL<11>;
extern template class RealFftL<12>;

using RealFft2048 = RealFftL<11>;
using RealFft4096 = RealFftL<12>;

}  // namespace cabinet::reference
