// Three triode stages side by side in the lanes of one AVX vector (the fourth lane repeats the third), so
// that a chain whose stages are staggered runs all three with one stream of instructions. Each lane does
// exactly the arithmetic of TriodeStage::process in the same order; its branches become selects whose
// result is the branch's. Only for processors with AVX: every function here is compiled for it.
#pragma once

#include <immintrin.h>

#include "amp/triode_stage.h"

namespace amp {

struct TriodeLanes {
    __m256d p[7];  // numerator coefficients p0 .. p6
    __m256d q[6];  // denominator coefficients q1 .. q6
    __m256d fourF, twoF, invTwoF, invRg, invRa, bPlus, ck, kCathode, kCoupling;
    __m256d vg, ig, ip, vk, vp, y;

    // mask ? b : a, lane by lane, as bit operations: a blend the compiler may turn into a branch per lane,
    // which the stages' data mispredict.
    [[gnu::target("avx"), gnu::always_inline]] static __m256d select(__m256d a, __m256d b, __m256d mask) noexcept
    {
        return _mm256_or_pd(_mm256_and_pd(mask, b), _mm256_andnot_pd(mask, a));
    }

    [[gnu::target("avx"), gnu::always_inline]] static __m256d lanes(double a, double b, double c) noexcept
    {
        return _mm256_set_pd(c, c, b, a);
    }

    [[gnu::target("avx"), gnu::always_inline]] void load(const TriodeStage& a, const TriodeStage& b,
                                                          const TriodeStage& c) noexcept
    {
        for (int k = 0; k < 7; ++k) p[k] = lanes(a.curve.c[2 * k], b.curve.c[2 * k], c.curve.c[2 * k]);
        for (int k = 0; k < 6; ++k) q[k] = lanes(a.curve.c[2 * k + 1], b.curve.c[2 * k + 1], c.curve.c[2 * k + 1]);
        // 4F and 2F exactly as the stage forms them (a power-of-two scaling rounds nothing).
        fourF = lanes(4.0 * a.F, 4.0 * b.F, 4.0 * c.F);
        twoF = lanes(2.0 * a.F, 2.0 * b.F, 2.0 * c.F);
        invTwoF = lanes(a.invTwoF, b.invTwoF, c.invTwoF);
        invRg = lanes(a.invRg, b.invRg, c.invRg);
        invRa = lanes(a.invRa, b.invRa, c.invRa);
        bPlus = lanes(a.Bplus, b.Bplus, c.Bplus);
        ck = lanes(a.Ck, b.Ck, c.Ck);
        kCathode = lanes(a.kCathode, b.kCathode, c.kCathode);
        kCoupling = lanes(a.kCoupling, b.kCoupling, c.kCoupling);
        vg = lanes(a.Vg, b.Vg, c.Vg);
        ig = lanes(a.Ig, b.Ig, c.Ig);
        ip = lanes(a.Ip, b.Ip, c.Ip);
        vk = lanes(a.Vk, b.Vk, c.Vk);
        vp = lanes(a.Vp, b.Vp, c.Vp);
        y = lanes(a.y, b.y, c.y);
    }

    // The states back into the stages.
    [[gnu::target("avx"), gnu::always_inline]] void store(TriodeStage& a, TriodeStage& b, TriodeStage& c) const noexcept
    {
        double v[6][4];
        const __m256d* state[6] = {&vg, &ig, &ip, &vk, &vp, &y};
        for (int k = 0; k < 6; ++k) _mm256_storeu_pd(v[k], *state[k]);
        TriodeStage* stages[3] = {&a, &b, &c};
        for (int l = 0; l < 3; ++l) {
            stages[l]->Vg = v[0][l];
            stages[l]->Ig = v[1][l];
            stages[l]->Ip = v[2][l];
            stages[l]->Vk = v[3][l];
            stages[l]->Vp = v[4][l];
            stages[l]->y = v[5][l];
        }
    }

    // One sample per lane: TriodeStage::process on each, rate being the oversampled rate in every lane.
    [[gnu::target("avx"), gnu::always_inline]] __m256d process(__m256d x, __m256d rate) noexcept
    {
        const __m256d zero = _mm256_setzero_pd();
        // Grid: a lane conducts unless x - Vk < 0; where none does (the usual case) no square root is needed.
        const __m256d below = _mm256_cmp_pd(_mm256_sub_pd(x, vk), zero, _CMP_LT_OQ);
        if (_mm256_movemask_pd(below) == 0xF) {
            vg = x;
        } else {
            const __m256d d = _mm256_add_pd(_mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(fourF, vk)),
                                            _mm256_mul_pd(fourF, x));
            const __m256d root = _mm256_sqrt_pd(d);
            const __m256d conducting = _mm256_mul_pd(
                _mm256_sub_pd(_mm256_add_pd(root, _mm256_mul_pd(twoF, vk)), _mm256_set1_pd(1.0)), invTwoF);
            const __m256d keepX = _mm256_or_pd(below, _mm256_cmp_pd(d, zero, _CMP_LT_OQ));
            vg = select(conducting, x, keepX);
        }
        ig = _mm256_mul_pd(_mm256_sub_pd(x, vg), invRg);

        const __m256d v = _mm256_sub_pd(vg, vk);
        __m256d num = p[6], den = q[5];
#pragma GCC unroll 8
        for (int k = 5; k >= 0; --k) num = _mm256_add_pd(_mm256_mul_pd(num, v), p[k]);
#pragma GCC unroll 8
        for (int k = 4; k >= 0; --k) den = _mm256_add_pd(_mm256_mul_pd(den, v), q[k]);
        den = _mm256_add_pd(_mm256_mul_pd(den, v), _mm256_set1_pd(1.0));
        const __m256d cutOff = _mm256_cmp_pd(v, _mm256_set1_pd(-10.0), _CMP_LT_OQ);
        const __m256d vpk = select(_mm256_div_pd(num, den), bPlus, cutOff);

        const __m256d vpOld = vp;
        const __m256d limit = _mm256_add_pd(bPlus, vk);
        const __m256d plate = _mm256_add_pd(vpk, vk);
        vp = select(plate, limit, _mm256_cmp_pd(limit, plate, _CMP_LT_OQ));
        ip = _mm256_mul_pd(_mm256_sub_pd(bPlus, vp), invRa);

        y = _mm256_mul_pd(_mm256_add_pd(_mm256_sub_pd(vp, vpOld), y), kCoupling);

        const __m256d cathode = _mm256_mul_pd(
            _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(ck, vk), rate), ip), ig), kCathode);
        vk = _mm256_and_pd(cathode, _mm256_cmp_pd(cathode, zero, _CMP_GT_OQ));
        return y;
    }
};

} // namespace amp
