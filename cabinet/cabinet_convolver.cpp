#include "cabinet/cabinet_convolver.h"

#include <algorithm>

namespace cabinet {

CabinetConvolver::CabinetConvolver()
{
    lowpass.kind = CabFilter::Kind::LowPass;
    highpass.kind = CabFilter::Kind::HighPass;
}

void CabinetConvolver::allocate(int n)
{
    const auto size = static_cast<std::size_t>(n);
    for (std::vector<double>* v : {&internal, &product, &result, &overlap, &output}) v->assign(size, 0.0);
}

void CabinetConvolver::clearBlock() noexcept
{
    std::fill(overlap.begin(), overlap.end(), 0.0);
    std::fill(output.begin(), output.end(), 0.0);
}

template <class Fft>
void CabinetConvolver::convolve(Fft& fft, const double* xf, const double* kernel, int b, double lowpassHz,
                                double highpassHz, double fs) noexcept
{
    constexpr int n = Fft::kSize;
    constexpr int half = n / 2;
    double* pr = product.data();
    const double* sp = kernel;
    pr[0] = xf[0] * sp[0];
    pr[half] = xf[half] * sp[half];
    for (int k = 1; k < half; ++k) {
        const double a = xf[k];
        const double bb = xf[half + k];
        const double c = sp[k];
        const double d = sp[half + k];
        pr[k] = a * c - bb * d;
        pr[half + k] = a * d + bb * c;
    }
    double* res = result.data();
    fft.inverse(pr, res);
    fft.rescale(res);

    lowpass.update(lowpassHz, fs);
    highpass.update(highpassHz, fs);
    double* ov = overlap.data();
    double* out = output.data();
    for (int i = 0; i < b; ++i) out[i] = highpass.process(lowpass.process(ov[i] + res[i]));
    // Ascending, so each overlap slot is read before it is overwritten.
    for (int i = b; i < n; ++i) ov[i - b] = res[i] + ov[i];
}

void CabinetConvolver::silence(int b) noexcept
{
    const int n = static_cast<int>(output.size());
    std::fill(output.begin(), output.begin() + std::min(b, n), 0.0);
    std::fill(overlap.begin(), overlap.begin() + std::max(n - b, 0), 0.0);
}

template void CabinetConvolver::convolve(RealFft2048&, const double*, const double*, int, double, double,
                                         double) noexcept;
template void CabinetConvolver::convolve(RealFft4096&, const double*, const double*, int, double, double,
                                         double) noexcept;

}  // namespace cabinet
