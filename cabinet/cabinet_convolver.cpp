#include "cabinet/cabinet_convolver.h"

#include <emmintrin.h>

#include <algorithm>

#include "cabinet/cab_filter_glide.h"

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
    // The inverse transform's 1/N, a power of two, is applied to the product instead of the result: scaling by
    // a power of two rounds nothing, so every value the transform computes is the same, scaled, and a pass
    // over the result is saved.
    constexpr double scale = 1.0 / n;
    double* pr = product.data();
    const double* sp = kernel;
    pr[0] = xf[0] * sp[0] * scale;
    pr[half] = xf[half] * sp[half] * scale;
    // Two bins at a time in SSE2 vectors, each with the scalar arithmetic.
    const __m128d scale2 = _mm_set1_pd(scale);
    int k = 1;
    for (; k + 1 < half; k += 2) {
        const __m128d a = _mm_loadu_pd(xf + k), bb = _mm_loadu_pd(xf + half + k);
        const __m128d c = _mm_loadu_pd(sp + k), d = _mm_loadu_pd(sp + half + k);
        _mm_storeu_pd(pr + k, _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(a, c), _mm_mul_pd(bb, d)), scale2));
        _mm_storeu_pd(pr + half + k, _mm_mul_pd(_mm_add_pd(_mm_mul_pd(a, d), _mm_mul_pd(bb, c)), scale2));
    }
    for (; k < half; ++k) {
        const double a = xf[k];
        const double bb = xf[half + k];
        const double c = sp[k];
        const double d = sp[half + k];
        pr[k] = (a * c - bb * d) * scale;
        pr[half + k] = (a * d + bb * c) * scale;
    }
    double* res = result.data();
    fft.inverse(pr, res);

    double* ov = overlap.data();
    double* out = output.data();
    if (lowpass.movesTo(lowpassHz, fs) || highpass.movesTo(highpassHz, fs)) {
        filterMoving(ov, res, out, b, lowpassHz, highpassHz, fs);
    } else {
        lowpass.update(lowpassHz, fs);
        highpass.update(highpassHz, fs);
        // On copies, so that the filters' histories stay in registers through the loop.
        CabFilter lp = lowpass, hp = highpass;
        for (int i = 0; i < b; ++i) out[i] = hp.process(lp.process(ov[i] + res[i]));
        lowpass = lp;
        highpass = hp;
    }
    // Ascending, so each overlap slot is read before it is overwritten (b is at least 2, so a pair never
    // overwrites what it has still to read).
    int i = b;
    for (; i + 1 < n; i += 2) _mm_storeu_pd(ov + i - b, _mm_add_pd(_mm_loadu_pd(res + i), _mm_loadu_pd(ov + i)));
    for (; i < n; ++i) ov[i - b] = res[i] + ov[i];
}

void CabinetConvolver::filterMoving(const double* in1, const double* in2, double* out, int b, double lowpassHz,
                                    double highpassHz, double fs) noexcept
{
    const bool lpGlides = lowpass.movesTo(lowpassHz, fs);
    const bool hpMoves = highpass.movesTo(highpassHz, fs);
    // A high-pass dropping far in one block would leave its low-pass state holding signal the old corner
    // took out, which then leaks out at the new one as a thump. It fades in instead, from rest: the old
    // filter plays on while the new one rises, and a mix of two fixed filters stays within the louder.
    const bool hpFades = hpMoves && highpassHz < kFadeBelow * highpass.designFrequency;
    const bool hpGlides = hpMoves && !hpFades;
    CabFilterGlide lpGlide, hpGlide;
    CabFilter lp = lowpass, hp = highpass, hpNew = highpass;
    if (lpGlides) lpGlide.begin(lp, lowpassHz, fs, b);
    else lp.update(lowpassHz, fs);
    if (hpGlides) hpGlide.begin(hp, highpassHz, fs, b);
    else if (!hpMoves) hp.update(highpassHz, fs);
    if (hpFades) {
        hpNew.reset();
        hpNew.design(highpassHz, fs);
    }
    const double step = 1.0 / b;
    for (int i = 0; i < b; ++i) {
        const double x = in1[i] + in2[i];
        const double u = lpGlides ? lpGlide.process(x) : lp.process(x);
        double y = hpGlides ? hpGlide.process(u) : hp.process(u);
        if (hpFades) {
            const double w = (i + 1) * step;
            y = (1.0 - w) * y + w * hpNew.process(u);
        }
        out[i] = y;
    }
    if (lpGlides) lpGlide.end(lp, lowpassHz, fs);
    if (hpGlides) hpGlide.end(hp, highpassHz, fs);
    lowpass = lp;
    highpass = hpFades ? hpNew : hp;
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
