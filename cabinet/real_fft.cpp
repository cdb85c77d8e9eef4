#include "cabinet/real_fft.h"

#include <emmintrin.h>

#include <cmath>
#include <numbers>

namespace cabinet {
namespace {

// Two doubles; the compilers' vector extensions give it the arithmetic operators, lane by lane.
using V = __m128d;

inline V load(const double* p) noexcept { return _mm_load_pd(p); }
inline V loadu(const double* p) noexcept { return _mm_loadu_pd(p); }
inline void store(double* p, V v) noexcept { _mm_store_pd(p, v); }
inline void storeu(double* p, V v) noexcept { _mm_storeu_pd(p, v); }
inline V splat(double v) noexcept { return _mm_set1_pd(v); }
inline V negate(V v) noexcept { return _mm_xor_pd(v, _mm_set1_pd(-0.0)); }
inline V reversed(V v) noexcept { return _mm_shuffle_pd(v, v, 1); }
inline V lows(V a, V b) noexcept { return _mm_unpacklo_pd(a, b); }
inline V highs(V a, V b) noexcept { return _mm_unpackhi_pd(a, b); }

// Two complex values at consecutive indices, split into their real and imaginary parts.
struct Complex2 {
    V re, im;
};

inline Complex2 operator+(Complex2 a, Complex2 b) noexcept { return {a.re + b.re, a.im + b.im}; }
inline Complex2 operator-(Complex2 a, Complex2 b) noexcept { return {a.re - b.re, a.im - b.im}; }

inline Complex2 times(Complex2 a, V wr, V wi) noexcept { return {a.re * wr - a.im * wi, a.re * wi + a.im * wr}; }

// Each pass's twiddles w^p, w^2p, w^3p as (re, im) pairs of vectors: 12 doubles per step.
inline Complex2 twiddled(Complex2 a, const double* t) noexcept { return times(a, load(t), load(t + 2)); }

struct Quad {
    Complex2 y0, y1, y2, y3;
};

// Four-point DFT (e^-i direction) before the pass's twiddles.
inline Quad butterfly(Complex2 a, Complex2 b, Complex2 c, Complex2 d) noexcept
{
    const Complex2 apc = a + c, amc = a - c, bpd = b + d, bmd = b - d;
    return {apc + bpd, {amc.re + bmd.im, amc.im - bmd.re}, apc - bpd, {amc.re - bmd.im, amc.im + bmd.re}};
}

// ---- where the first pass reads and the last pass writes ----

// Real samples read as complex ones: x[2m] real, x[2m + 1] imaginary.
struct InterleavedReader {
    const double* x;
    Complex2 operator()(int i) const noexcept
    {
        const V v0 = loadu(x + 2 * i);
        const V v1 = loadu(x + 2 * i + 2);
        return {lows(v0, v1), highs(v0, v1)};
    }
};

struct SplitReader {
    const double* re;
    const double* im;
    Complex2 operator()(int i) const noexcept { return {load(re + i), load(im + i)}; }
};

struct SplitWriter {
    double* re;
    double* im;
    void operator()(int i, Complex2 v) const noexcept
    {
        store(re + i, v.re);
        store(im + i, v.im);
    }
};

// The caller's array, which need not be aligned.
struct UnalignedSplitWriter {
    double* re;
    double* im;
    void operator()(int i, Complex2 v) const noexcept
    {
        storeu(re + i, v.re);
        storeu(im + i, v.im);
    }
};

// Conjugates (the inverse runs the forward transform on the conjugate) and interleaves into real samples.
struct ConjugateInterleavedWriter {
    double* x;
    void operator()(int i, Complex2 v) const noexcept
    {
        const V im = negate(v.im);
        storeu(x + 2 * i, lows(v.re, im));
        storeu(x + 2 * i + 2, highs(v.re, im));
    }
};

// ---- radix-4 Stockham passes over M complex points ----

// Twiddle counts: the first pass (stride 1) keeps per-lane twiddles for pairs of p; later passes one
// broadcast set per p >= 1 (p = 0 multiplies by 1 and is left out).
template <int M>
constexpr int firstTwiddles = (M / 8) * 12;

template <int M>
constexpr int laterTwiddles()
{
    int count = 0;
    for (int n = M / 4; n >= 8; n /= 4) count += (n / 4 - 1) * 12;
    return count;
}

template <int M>
constexpr int separationOffset = firstTwiddles<M> + laterTwiddles<M>();

// Table length of each separation twiddle array (cos, then sin), k = 0 .. M/2, rounded up to even.
template <int M>
constexpr int separationLength = M / 2 + 2;

template <int M>
constexpr int twiddleCount = separationOffset<M> + 2 * separationLength<M>;

// First pass (n = M, stride 1): vectorised over p, so each lane has its own twiddle and the four outputs of
// both lanes are transposed into place.
template <int M, class Reader>
void firstPass(const Reader& in, double* yr, double* yi, const double* tw) noexcept
{
    constexpr int q = M / 4;
    for (int p = 0; p < q; p += 2, tw += 12) {
        const Quad r = butterfly(in(p), in(p + q), in(p + 2 * q), in(p + 3 * q));
        const Complex2 y0 = r.y0;
        const Complex2 y1 = twiddled(r.y1, tw);
        const Complex2 y2 = twiddled(r.y2, tw + 4);
        const Complex2 y3 = twiddled(r.y3, tw + 8);
        store(yr + 4 * p, lows(y0.re, y1.re));
        store(yr + 4 * p + 2, lows(y2.re, y3.re));
        store(yr + 4 * p + 4, highs(y0.re, y1.re));
        store(yr + 4 * p + 6, highs(y2.re, y3.re));
        store(yi + 4 * p, lows(y0.im, y1.im));
        store(yi + 4 * p + 2, lows(y2.im, y3.im));
        store(yi + 4 * p + 4, highs(y0.im, y1.im));
        store(yi + 4 * p + 6, highs(y2.im, y3.im));
    }
}

// A later pass of length n (stride s = M/n >= 4): vectorised over the stride, twiddles broadcast per p.
template <int M, int n, class Writer>
void radix4Pass(const double* xr, const double* xi, const Writer& out, const double* tw) noexcept
{
    constexpr int s = M / n;
    constexpr int q = M / 4;
    const SplitReader in{xr, xi};
    for (int j = 0; j < s; j += 2) {
        const Quad r = butterfly(in(j), in(j + q), in(j + 2 * q), in(j + 3 * q));
        out(j, r.y0);
        out(j + s, r.y1);
        out(j + 2 * s, r.y2);
        out(j + 3 * s, r.y3);
    }
    for (int p = 1; p < n / 4; ++p, tw += 12) {
        for (int j = 0; j < s; j += 2) {
            const int i = j + s * p;
            const Quad r = butterfly(in(i), in(i + q), in(i + 2 * q), in(i + 3 * q));
            const int o = j + 4 * s * p;
            out(o, r.y0);
            out(o + s, twiddled(r.y1, tw));
            out(o + 2 * s, twiddled(r.y2, tw + 4));
            out(o + 3 * s, twiddled(r.y3, tw + 8));
        }
    }
}

// The closing pass when M is not a power of 4.
template <int M, class Writer>
void radix2Pass(const double* xr, const double* xi, const Writer& out) noexcept
{
    constexpr int s = M / 2;
    const SplitReader in{xr, xi};
    for (int j = 0; j < s; j += 2) {
        const Complex2 a = in(j);
        const Complex2 b = in(j + s);
        out(j, a + b);
        out(j + s, a - b);
    }
}

// Passes n, n/4, ... from x, alternating with y; the last one goes to `out`.
template <int M, int n, class Writer>
void laterPasses(double* xr, double* xi, double* yr, double* yi, const Writer& out, const double* tw) noexcept
{
    if constexpr (n == 2) {
        radix2Pass<M>(xr, xi, out);
    } else if constexpr (n == 4) {
        radix4Pass<M, 4>(xr, xi, out, tw);
    } else {
        radix4Pass<M, n>(xr, xi, SplitWriter{yr, yi}, tw);
        laterPasses<M, n / 4>(yr, yi, xr, xi, out, tw + (n / 4 - 1) * 12);
    }
}

// The whole M-point complex FFT in natural order: `in` to `out`, through the buffers a (first) and b.
template <int M, class Reader, class Writer>
void complexFft(const Reader& in, double* a, double* b, const Writer& out, const double* tw) noexcept
{
    firstPass<M>(in, a, a + M, tw);
    laterPasses<M, M / 4>(a, a + M, b, b + M, out, tw + firstTwiddles<M>);
}

// ---- separating the two half-length spectra ----

// In place: f holds Z, the M-point spectrum of the samples read as complex, split (re in f[0..M), im in
// f[M..2M)); it receives the packed real spectrum. Bins k and M - k are made from Z[k] and Z[M - k] only, and
// written to the same four slots they came from.
template <int M>
void separate(double* f, const double* cs, const double* sn) noexcept
{
    double* zr = f;
    double* zi = f + M;
    const double r0 = zr[0];
    const double i0 = zi[0];
    f[0] = r0 + i0;
    f[M] = r0 - i0;
    // Bin M/2 is conj Z[M/2]: its packed slots already hold Re Z[M/2] and Im Z[M/2].

    const V half = splat(0.5);
    const auto pair = [&](int k) noexcept {
        const V ar = loadu(zr + k), ai = loadu(zi + k);
        const V br = reversed(loadu(zr + M - k - 1)), bi = reversed(loadu(zi + M - k - 1));
        // Even part (Z[k] + conj Z[M-k]) / 2, odd part (Z[k] - conj Z[M-k]) / 2i.
        const V er = half * (ar + br), ei = half * (ai - bi);
        const V orr = half * (ai + bi), oi = half * (br - ar);
        // Odd part times W^k = cos - i sin.
        const V c = loadu(cs + k), s = loadu(sn + k);
        const V wr = c * orr + s * oi, wi = c * oi - s * orr;
        storeu(zr + k, er + wr);
        storeu(zi + k, negate(ei + wi));
        storeu(zr + M - k - 1, reversed(er - wr));
        storeu(zi + M - k - 1, reversed(ei - wi));
    };
    int k = 1;
    for (; k + 1 < M / 2; k += 2) pair(k);
    // k = M/2 - 1 is left: run it as a pair with M/2, whose result is written over with the original.
    const double keepR = zr[M / 2], keepI = zi[M / 2];
    pair(k);
    zr[M / 2] = keepR;
    zi[M / 2] = keepI;
}

// The reverse of separate: the packed spectrum f becomes the conjugate of the M-point spectrum whose inverse
// transform interleaves into N times the signal, split into vr, vi.
template <int M>
void combine(const double* f, double* vr, double* vi, const double* cs, const double* sn) noexcept
{
    vr[0] = f[0] + f[M];
    vi[0] = f[M] - f[0];
    const auto pair = [&](int k) noexcept {
        // X[k] = P - iQ at k, and at M - k.
        const V pk = loadu(f + k), qk = loadu(f + M + k);
        const V pm = reversed(loadu(f + M - k - 1)), qm = reversed(loadu(f + 2 * M - k - 1));
        // E = X[k] + conj X[M-k], D = X[k] - conj X[M-k], G = D * W^-k.
        const V er = pk + pm, ei = qm - qk;
        const V dr = pk - pm, di = negate(qk + qm);
        const V c = loadu(cs + k), s = loadu(sn + k);
        const V gr = c * dr - s * di, gi = c * di + s * dr;
        // Conjugate of E + iG at k, E - iG at M - k.
        storeu(vr + k, er - gi);
        storeu(vi + k, negate(ei + gr));
        storeu(vr + M - k - 1, reversed(er + gi));
        storeu(vi + M - k - 1, reversed(ei - gr));
    };
    int k = 1;
    for (; k + 1 < M / 2; k += 2) pair(k);
    pair(k);  // k = M/2 - 1 with M/2, which is then set on its own
    vr[M / 2] = 2.0 * f[M / 2];
    vi[M / 2] = -2.0 * f[M + M / 2];
}

double* alignedDoubles(int count)
{
    return static_cast<double*>(::operator new[](sizeof(double) * static_cast<std::size_t>(count),
                                                 std::align_val_t{64}));
}

// cos and -sin of 2*pi*j/n.
void unitRoot(long j, long n, double& re, double& im) noexcept
{
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(n);
    re = std::cos(angle);
    im = -std::sin(angle);
}

}  // namespace

template <int L>
RealFftL<L>::RealFftL() : work_(alignedDoubles(2 * kSize)), twiddle_(alignedDoubles(twiddleCount<kHalf>))
{
    constexpr int M = kHalf;
    double* t = twiddle_.get();
    for (int p = 0; p < M / 4; ++p) {
        double* pairBase = t + (p / 2) * 12 + p % 2;
        for (int m = 1; m <= 3; ++m) unitRoot(long{m} * p, M, pairBase[4 * (m - 1)], pairBase[4 * (m - 1) + 2]);
    }
    t += firstTwiddles<M>;
    for (int n = M / 4; n >= 8; n /= 4) {
        for (int p = 1; p < n / 4; ++p, t += 12) {
            for (int m = 1; m <= 3; ++m) {
                double* w = t + 4 * (m - 1);
                unitRoot(long{m} * p, n, w[0], w[2]);
                w[1] = w[0];
                w[3] = w[2];
            }
        }
    }
    double* cs = twiddle_.get() + separationOffset<M>;
    double* sn = cs + separationLength<M>;
    for (int k = 0; k < separationLength<M>; ++k) {
        unitRoot(k, kSize, cs[k], sn[k]);
        sn[k] = -sn[k];
    }
}

template <int L>
void RealFftL<L>::forward(const double* x, double* f) noexcept
{
    constexpr int M = kHalf;
    const double* tw = twiddle_.get();
    double* a = work_.get();
    complexFft<M>(InterleavedReader{x}, a, a + kSize, UnalignedSplitWriter{f, f + M}, tw);
    const double* cs = tw + separationOffset<M>;
    separate<M>(f, cs, cs + separationLength<M>);
}

template <int L>
void RealFftL<L>::inverse(const double* f, double* x) noexcept
{
    constexpr int M = kHalf;
    const double* tw = twiddle_.get();
    double* a = work_.get();
    double* b = a + kSize;
    const double* cs = tw + separationOffset<M>;
    combine<M>(f, a, a + M, cs, cs + separationLength<M>);
    complexFft<M>(SplitReader{a, a + M}, b, a, ConjugateInterleavedWriter{x}, tw);
}

template <int L>
void RealFftL<L>::rescale(double* x) const noexcept
{
    constexpr double scale = 1.0 / kSize;
    for (int i = 0; i < kSize; ++i) x[i] *= scale;
}

template class RealFftL<11>;
template class RealFftL<12>;

}  // namespace cabinet
