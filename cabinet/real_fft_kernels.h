#pragma once
// The passes of RealFft, written once over a vector of W doubles (`Op`: SSE2 with W = 2 in real_fft.cpp, AVX
// with W = 4 in real_fft_avx.cpp). Every lane does the same arithmetic in the same order whatever W is, so
// both widths give identical results. Include only from those two files: each instantiates the templates
// with its own Op, so no code compiled for AVX can be shared with the SSE2 path.
//
// The N real samples are read as M = N/2 complex ones (even samples real, odd imaginary) and transformed by
// a radix-4 Stockham FFT in split real/imaginary form (natural order in and out; a radix-2 pass closes
// M = 2048). The two interleaved half-length spectra are then separated into the packed real spectrum. The
// inverse undoes the separation, runs the same forward FFT on the conjugate and conjugates the result.
//
// Twiddle table (doubles): the first pass's w^p, w^2p, w^3p as six arrays of M/4 (re, im of each), then six
// per p >= 1 of every later pass of length n >= 8 (n = M/4, M/16, ...), then cos and sin of 2*pi*k/N for
// k = 0 .. M/2 + 1.

namespace cabinet::fft_kernels {

template <int M>
constexpr int firstTwiddles = 6 * (M / 4);

template <int M>
constexpr int laterTwiddles()
{
    int count = 0;
    for (int n = M / 4; n >= 8; n /= 4) count += 6 * (n / 4 - 1);
    return count;
}

template <int M>
constexpr int separationOffset = firstTwiddles<M> + laterTwiddles<M>();

template <int M>
constexpr int separationLength = M / 2 + 2;

template <int M>
constexpr int twiddleCount = separationOffset<M> + 2 * separationLength<M>;

template <class Op>
struct Kernels {
    using V = typename Op::V;
    static constexpr int W = Op::W;

    // W complex values at consecutive indices, split into real and imaginary parts.
    struct Cx {
        V re, im;
    };

    static Cx add(Cx a, Cx b) noexcept { return {a.re + b.re, a.im + b.im}; }
    static Cx sub(Cx a, Cx b) noexcept { return {a.re - b.re, a.im - b.im}; }
    static Cx times(Cx a, V wr, V wi) noexcept { return {a.re * wr - a.im * wi, a.re * wi + a.im * wr}; }

    struct Quad {
        Cx y0, y1, y2, y3;
    };

    // Four-point DFT (e^-i direction), before the pass's twiddles.
    static Quad butterfly(Cx a, Cx b, Cx c, Cx d) noexcept
    {
        const Cx apc = add(a, c), amc = sub(a, c), bpd = add(b, d), bmd = sub(b, d);
        return {add(apc, bpd), {amc.re + bmd.im, amc.im - bmd.re}, sub(apc, bpd), {amc.re - bmd.im, amc.im + bmd.re}};
    }

    // ---- where the first pass reads and the last pass writes ----

    // Real samples read as complex ones: x[2m] real, x[2m + 1] imaginary.
    struct InterleavedReader {
        const double* x;
        Cx operator()(int i) const noexcept
        {
            Cx v;
            Op::deinterleave(x + 2 * i, v.re, v.im);
            return v;
        }
    };

    struct SplitReader {
        const double* re;
        const double* im;
        Cx operator()(int i) const noexcept { return {Op::load(re + i), Op::load(im + i)}; }
    };

    // Into the work buffers (aligned), or into the caller's array, which need not be.
    template <bool kAligned>
    struct SplitWriterTo {
        double* re;
        double* im;
        void operator()(int i, Cx v) const noexcept
        {
            if constexpr (kAligned) {
                Op::store(re + i, v.re);
                Op::store(im + i, v.im);
            } else {
                Op::storeu(re + i, v.re);
                Op::storeu(im + i, v.im);
            }
        }
    };
    using SplitWriter = SplitWriterTo<true>;
    using UnalignedSplitWriter = SplitWriterTo<false>;

    // Conjugates (the inverse is the forward transform of the conjugate, conjugated) and interleaves.
    struct ConjugateInterleavedWriter {
        double* x;
        void operator()(int i, Cx v) const noexcept { Op::interleave(x + 2 * i, v.re, Op::negate(v.im)); }
    };

    // ---- radix-4 Stockham passes over M complex points ----

    // First pass (length M, stride 1): vectorised over p, each lane with its own twiddles; the four outputs
    // of the W lanes are transposed into place.
    template <int M, class Reader>
    static void firstPass(const Reader& in, double* yr, double* yi, const double* tw) noexcept
    {
        constexpr int q = M / 4;
        for (int p = 0; p < q; p += W) {
            const Quad r = butterfly(in(p), in(p + q), in(p + 2 * q), in(p + 3 * q));
            const Cx y1 = times(r.y1, Op::load(tw + p), Op::load(tw + q + p));
            const Cx y2 = times(r.y2, Op::load(tw + 2 * q + p), Op::load(tw + 3 * q + p));
            const Cx y3 = times(r.y3, Op::load(tw + 4 * q + p), Op::load(tw + 5 * q + p));
            Op::transposeStore(yr + 4 * p, r.y0.re, y1.re, y2.re, y3.re);
            Op::transposeStore(yi + 4 * p, r.y0.im, y1.im, y2.im, y3.im);
        }
    }

    // A later pass of length n (stride s = M/n >= W): vectorised along the stride, twiddles broadcast per p
    // (p = 0 multiplies by 1 and is left out).
    template <int M, int n, class Writer>
    static void radix4Pass(const double* xr, const double* xi, const Writer& out, const double* tw) noexcept
    {
        constexpr int s = M / n;
        constexpr int q = M / 4;
        static_assert(s >= W);
        const SplitReader in{xr, xi};
        for (int j = 0; j < s; j += W) {
            const Quad r = butterfly(in(j), in(j + q), in(j + 2 * q), in(j + 3 * q));
            out(j, r.y0);
            out(j + s, r.y1);
            out(j + 2 * s, r.y2);
            out(j + 3 * s, r.y3);
        }
        for (int p = 1; p < n / 4; ++p, tw += 6) {
            const V w1r = Op::splat(tw[0]), w1i = Op::splat(tw[1]);
            const V w2r = Op::splat(tw[2]), w2i = Op::splat(tw[3]);
            const V w3r = Op::splat(tw[4]), w3i = Op::splat(tw[5]);
            for (int j = 0; j < s; j += W) {
                const int i = j + s * p;
                const Quad r = butterfly(in(i), in(i + q), in(i + 2 * q), in(i + 3 * q));
                const int o = j + 4 * s * p;
                out(o, r.y0);
                out(o + s, times(r.y1, w1r, w1i));
                out(o + 2 * s, times(r.y2, w2r, w2i));
                out(o + 3 * s, times(r.y3, w3r, w3i));
            }
        }
    }

    // The closing pass when M is not a power of 4.
    template <int M, class Writer>
    static void radix2Pass(const double* xr, const double* xi, const Writer& out) noexcept
    {
        constexpr int s = M / 2;
        const SplitReader in{xr, xi};
        for (int j = 0; j < s; j += W) {
            const Cx a = in(j);
            const Cx b = in(j + s);
            out(j, add(a, b));
            out(j + s, sub(a, b));
        }
    }

    // Passes n, n/4, ... from x, alternating with y; the last one goes to `out`.
    template <int M, int n, class Writer>
    static void laterPasses(double* xr, double* xi, double* yr, double* yi, const Writer& out,
                            const double* tw) noexcept
    {
        if constexpr (n == 2) {
            radix2Pass<M>(xr, xi, out);
        } else if constexpr (n == 4) {
            radix4Pass<M, 4>(xr, xi, out, tw);
        } else {
            radix4Pass<M, n>(xr, xi, SplitWriter{yr, yi}, tw);
            laterPasses<M, n / 4>(yr, yi, xr, xi, out, tw + 6 * (n / 4 - 1));
        }
    }

    // The whole M-point complex FFT in natural order: `in` to `out`, through the buffers a (first) and b,
    // each 2M doubles.
    template <int M, class Reader, class Writer>
    static void complexFft(const Reader& in, double* a, double* b, const Writer& out, const double* tw) noexcept
    {
        firstPass<M>(in, a, a + M, tw);
        laterPasses<M, M / 4>(a, a + M, b, b + M, out, tw + firstTwiddles<M>);
    }

    // ---- separating the two half-length spectra ----

    // In place: f holds Z, the M-point spectrum of the samples read as complex, split (re in f[0..M), im in
    // f[M..2M)); it receives the packed real spectrum. Bins k and M - k come from Z[k] and Z[M - k] only and
    // go to the four slots those came from.
    template <int M>
    static void separate(double* f, const double* cs, const double* sn) noexcept
    {
        double* zr = f;
        double* zi = f + M;
        const double r0 = zr[0];
        const double i0 = zi[0];
        f[0] = r0 + i0;
        f[M] = r0 - i0;
        // Bin M/2 is conj Z[M/2]: its packed slots already hold Re Z[M/2] and Im Z[M/2].
        const double keepR = zr[M / 2], keepI = zi[M / 2];

        const V half = Op::splat(0.5);
        // Bins k .. k+W-1 and their mirrors; the last group ends at M/2 and overlaps its mirror there.
        static_assert((M / 2 - 1) % W == W - 1);
        for (int k = 1; k <= M / 2 - W + 1; k += W) {
            const int m = M - k - (W - 1);
            const V ar = Op::loadu(zr + k), ai = Op::loadu(zi + k);
            const V br = Op::reversed(Op::loadu(zr + m)), bi = Op::reversed(Op::loadu(zi + m));
            // Even part (Z[k] + conj Z[M-k]) / 2, odd part (Z[k] - conj Z[M-k]) / 2i.
            const V er = half * (ar + br), ei = half * (ai - bi);
            const V orr = half * (ai + bi), oi = half * (br - ar);
            // Odd part times W^k = cos - i sin.
            const V c = Op::loadu(cs + k), s = Op::loadu(sn + k);
            const V wr = c * orr + s * oi, wi = c * oi - s * orr;
            Op::storeu(zr + k, er + wr);
            Op::storeu(zi + k, Op::negate(ei + wi));
            Op::storeu(zr + m, Op::reversed(er - wr));
            Op::storeu(zi + m, Op::reversed(ei - wi));
        }
        zr[M / 2] = keepR;
        zi[M / 2] = keepI;
    }

    // The reverse of separate: the packed spectrum f becomes the conjugate of the M-point spectrum whose
    // inverse transform interleaves into N times the signal, split into vr, vi.
    template <int M>
    static void combine(const double* f, double* vr, double* vi, const double* cs, const double* sn) noexcept
    {
        vr[0] = f[0] + f[M];
        vi[0] = f[M] - f[0];
        for (int k = 1; k <= M / 2 - W + 1; k += W) {
            const int m = M - k - (W - 1);
            // X[k] = P - iQ, at k and at M - k.
            const V pk = Op::loadu(f + k), qk = Op::loadu(f + M + k);
            const V pm = Op::reversed(Op::loadu(f + m)), qm = Op::reversed(Op::loadu(f + M + m));
            // E = X[k] + conj X[M-k], D = X[k] - conj X[M-k], G = D * W^-k.
            const V er = pk + pm, ei = qm - qk;
            const V dr = pk - pm, di = Op::negate(qk + qm);
            const V c = Op::loadu(cs + k), s = Op::loadu(sn + k);
            const V gr = c * dr - s * di, gi = c * di + s * dr;
            // Conjugate of E + iG at k, E - iG at M - k.
            Op::storeu(vr + k, er - gi);
            Op::storeu(vi + k, Op::negate(ei + gr));
            Op::storeu(vr + m, Op::reversed(er + gi));
            Op::storeu(vi + m, Op::reversed(ei - gr));
        }
        // Bin M/2, which the last group also wrote from its mirror.
        vr[M / 2] = 2.0 * f[M / 2];
        vi[M / 2] = -2.0 * f[M + M / 2];
    }

    // ---- the two directions ----

    // x: N = 2M samples. f: the packed spectrum. work: 4M doubles, 64-byte aligned.
    template <int M>
    static void forward(const double* x, double* f, double* work, const double* tw) noexcept
    {
        complexFft<M>(InterleavedReader{x}, work, work + 2 * M, UnalignedSplitWriter{f, f + M}, tw);
        const double* cs = tw + separationOffset<M>;
        separate<M>(f, cs, cs + separationLength<M>);
    }

    template <int M>
    static void inverse(const double* f, double* x, double* work, const double* tw) noexcept
    {
        double* a = work;
        double* b = work + 2 * M;
        const double* cs = tw + separationOffset<M>;
        combine<M>(f, a, a + M, cs, cs + separationLength<M>);
        complexFft<M>(SplitReader{a, a + M}, b, a, ConjugateInterleavedWriter{x}, tw);
    }
};

}  // namespace cabinet::fft_kernels
