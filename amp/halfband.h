// Polyphase IIR halfband interpolator and decimator: two parallel chains of first-order allpass
// sections in single precision. One pair per oversampling level (S = 6, 4, 2 sections per chain).
#pragma once

#include <xmmintrin.h>

#include <array>
#include <cstddef>

namespace amp {

// Interleaved coefficients: chain A takes the even indices, chain B the odd ones.
inline constexpr std::array<double, 12> halfbandLevel1{
    0.036681502163648017, 0.13654762463195771, 0.2746317593794541, 0.42313861743656667,
    0.5610989697879195,   0.6775400499741616,  0.769741833862266,  0.839889624849638,
    0.8922608180038789,   0.9315419599631839,  0.962094548378084,  0.9878163707328971};
inline constexpr std::array<double, 8> halfbandLevel2{
    0.07711507983241622, 0.2659685265210946, 0.4820706250610472, 0.6651041532634957,
    0.7968204713315797,  0.8841015085506159, 0.9412514277740471, 0.9820054141886075};
inline constexpr std::array<double, 4> halfbandLevel3{
    0.12073211751675449, 0.3903621872345006, 0.6632020224193995, 0.890786832653497};

// The two polyphase chains over interleaved sections.
template <std::size_t S>
struct HalfbandChains {
    std::array<float, 2 * S> c{};
    std::array<float, 2 * S> x1{};
    std::array<float, 2 * S> y1{};

    // Runs v through the sections first, first + 2, ... (first = 0 for chain A, 1 for chain B).
    float run(std::size_t first, float v) noexcept
    {
        // Unrolled, so that a local copy's sections can live in registers.
#pragma GCC unroll 8
        for (std::size_t k = first; k < 2 * S; k += 2) {
            const float w = (v - y1[k]) * c[k] + x1[k];
            x1[k] = v;
            y1[k] = w;
            v = w;
        }
        return v;
    }

    // Block runs put section k of chain A and of chain B (indices 2k and 2k + 1) side by side in the two low
    // lanes of an SSE vector: the same single-precision arithmetic per lane, half the instructions. The
    // section loops are unrolled so that the lanes live in registers.
    struct Lanes {
        __m128 c[S], x1[S], y1[S];
    };

    static __m128 pairAt(const float* p) noexcept
    {
        return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
    }
    static void storePair(float* p, __m128 v) noexcept
    {
        _mm_store_sd(reinterpret_cast<double*>(p), _mm_castps_pd(v));
    }

    // Runs (A input, B input) in the low lanes through both chains; returns (A output, B output).
    static __m128 runBoth(Lanes& l, __m128 v) noexcept
    {
#pragma GCC unroll 8
        for (std::size_t k = 0; k < S; ++k) {
            const __m128 w = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(v, l.y1[k]), l.c[k]), l.x1[k]);
            l.x1[k] = v;
            l.y1[k] = w;
            v = w;
        }
        return v;
    }

    // The sections as lanes, and back.
    Lanes toLanes() const noexcept
    {
        Lanes l;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < S; ++k) {
            l.c[k] = pairAt(&c[2 * k]);
            l.x1[k] = pairAt(&x1[2 * k]);
            l.y1[k] = pairAt(&y1[2 * k]);
        }
        return l;
    }
    void fromLanes(const Lanes& l) noexcept
    {
#pragma GCC unroll 8
        for (std::size_t k = 0; k < S; ++k) {
            storePair(&x1[2 * k], l.x1[k]);
            storePair(&y1[2 * k], l.y1[k]);
        }
    }

    // Takes new coefficients (rounded to single precision); section states are left as they are.
    void loadCoefficients(const std::array<double, 2 * S>& table) noexcept
    {
        for (std::size_t k = 0; k < 2 * S; ++k) c[k] = static_cast<float>(table[k]);
    }
};

struct HalfbandPair {
    float first;  // earlier in time
    float second; // later in time
};

template <std::size_t S>
struct HalfbandInterpolator {
    HalfbandChains<S> chains;

    void loadCoefficients(const std::array<double, 2 * S>& table) noexcept { chains.loadCoefficients(table); }

    // One sample in, two out: chain A gives the earlier, chain B the later.
    HalfbandPair process(float x) noexcept
    {
        const float a = chains.run(0, x);
        const float b = chains.run(1, x);
        return {a, b};
    }

    // n samples in, 2n out in time order, both chains side by side (the same results as process(x) per
    // sample).
    void process(const float* x, int n, float* out) noexcept
    {
        typename HalfbandChains<S>::Lanes l = chains.toLanes();
        for (int i = 0; i < n; ++i) HalfbandChains<S>::storePair(out + 2 * i, HalfbandChains<S>::runBoth(l, _mm_set1_ps(x[i])));
        chains.fromLanes(l);
    }
};

template <std::size_t S>
struct HalfbandDecimator {
    HalfbandChains<S> chains;

    void loadCoefficients(const std::array<double, 2 * S>& table) noexcept { chains.loadCoefficients(table); }

    // Two samples in, one out: chain B takes the earlier, chain A the later.
    float process(float first, float second) noexcept
    {
        const float b = chains.run(1, first);
        const float a = chains.run(0, second);
        return 0.5f * (a + b);
    }

    // 2n samples in, n out in time order, both chains side by side (the same results as process(first,
    // second) per pair); `out` may be `in`.
    void process(const float* in, int n, float* out) noexcept
    {
        typename HalfbandChains<S>::Lanes l = chains.toLanes();
        for (int i = 0; i < n; ++i) {
            // Chain A (low lane) takes the later sample, chain B the earlier.
            const __m128 pair = HalfbandChains<S>::pairAt(in + 2 * i);
            const __m128 ab = HalfbandChains<S>::runBoth(l, _mm_shuffle_ps(pair, pair, _MM_SHUFFLE(3, 2, 0, 1)));
            const __m128 sum = _mm_add_ss(ab, _mm_shuffle_ps(ab, ab, _MM_SHUFFLE(3, 2, 0, 1)));
            out[i] = 0.5f * _mm_cvtss_f32(sum);
        }
        chains.fromLanes(l);
    }
};

} // namespace amp
