// A chain of three triode stages with scalar elements before, between and after them, run over a block
// with the stages side by side in the lanes of AVX vectors (TriodeLanes). The stages are staggered two
// samples apart: in step t the first stage works on sample t, the second on t - 2 and the third on t - 4,
// which leaves the scalar elements between them a whole step to finish before their result is needed. Every
// element still sees its own samples in time order, so the results are those of taking each sample through
// the whole chain in turn.
#pragma once

#include "amp/triode_lanes.h"

namespace amp {

// buf[0..m): the chain's inputs, replaced in place by its outputs. pre0 comes before stage s0, pre1 between
// s0 and s1, pre2 between s1 and s2, post after s2; each maps a double to a double. Only where the processor
// has AVX. The loop is compiled as part of the two entry points below, for the instruction set of each.
template <class Pre0, class Pre1, class Pre2, class Post>
[[gnu::target("avx"), gnu::always_inline]] inline void runStagesInLanes(float* buf, int m, TriodeStage& s0,
                                                                       TriodeStage& s1, TriodeStage& s2, double rate,
                                                                       Pre0& pre0, Pre1& pre1, Pre2& pre2,
                                                                       Post& post) noexcept
{
    // Outputs of the last step (samples t-1, t-3, t-5 at the top of step t), and the inputs waiting for
    // the second stage (sample t-2) and the third (t-4).
    double o0 = 0.0, o1 = 0.0, o2 = 0.0, f = 0.0, g = 0.0;
    const auto exists = [m](int i) noexcept { return i >= 0 && i < m; };
    // Filling and draining the pipeline, one stage at a time and only for the samples that exist.
    const auto edgeStep = [&](int t) noexcept {
        if (exists(t - 5)) buf[t - 5] = static_cast<float>(post(o2));
        const double gNext = exists(t - 3) ? pre2(o1) : 0.0;
        const double fNext = exists(t - 1) ? pre1(o0) : 0.0;
        if (exists(t)) {
            o0 = pre0(static_cast<double>(buf[t]));
            s0.process(o0, rate);
        }
        if (exists(t - 2)) {
            o1 = f;
            s1.process(o1, rate);
        }
        if (exists(t - 4)) {
            o2 = g;
            s2.process(o2, rate);
        }
        f = fNext;
        g = gNext;
    };
    int t = 0;
    for (; t < 5; ++t) edgeStep(t);
    if (t < m) {
        TriodeLanes lanes;
        lanes.load(s0, s1, s2);
        const __m256d r = _mm256_set1_pd(rate);
        for (; t < m; ++t) {
            buf[t - 5] = static_cast<float>(post(o2));
            const double gNext = pre2(o1);
            const double fNext = pre1(o0);
            const __m256d out = lanes.process(TriodeLanes::lanes(pre0(static_cast<double>(buf[t])), f, g), r);
            // Taken from the register: a vector store may alias anything, and the compiler would then
            // reload every state and pointer of the loop after it.
            const __m128d low = _mm256_castpd256_pd128(out);
            o0 = _mm_cvtsd_f64(low);
            o1 = _mm_cvtsd_f64(_mm_unpackhi_pd(low, low));
            o2 = _mm_cvtsd_f64(_mm256_extractf128_pd(out, 1));
            f = fNext;
            g = gNext;
        }
        lanes.store(s0, s1, s2);
    }
    for (; t < m + 5; ++t) edgeStep(t);
}

// Flattened, so that everything in the loop is compiled for AVX and sits in one loop body.
template <class Pre0, class Pre1, class Pre2, class Post>
[[gnu::target("avx"), gnu::flatten]] void runStagesOnAvx(float* buf, int m, TriodeStage& s0, TriodeStage& s1,
                                                         TriodeStage& s2, double rate, Pre0&& pre0, Pre1&& pre1,
                                                         Pre2&& pre2, Post&& post) noexcept
{
    runStagesInLanes(buf, m, s0, s1, s2, rate, pre0, pre1, pre2, post);
}

// The same loop with the AVX-512 encodings, whose 32 vector registers hold the stages' coefficients and
// states with room to spare: with 16, the loop spills them to memory and back at every sample. Only where the
// processor has AVX-512F and VL. The arithmetic stays that of the AVX loop: the build never contracts a
// multiplication and an addition into a fused one.
template <class Pre0, class Pre1, class Pre2, class Post>
[[gnu::target("avx512f,avx512vl"), gnu::flatten]] void runStagesOnAvx512(float* buf, int m, TriodeStage& s0,
                                                                         TriodeStage& s1, TriodeStage& s2,
                                                                         double rate, Pre0&& pre0, Pre1&& pre1,
                                                                         Pre2&& pre2, Post&& post) noexcept
{
    runStagesInLanes(buf, m, s0, s1, s2, rate, pre0, pre1, pre2, post);
}

} // namespace amp
