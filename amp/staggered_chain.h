// Runs a block of samples through a chain of recursive elements in four groups, staggered: in each step
// group k works on sample t - k. Each element still sees its own samples in time order, so the results are
// exactly those of taking every sample through the whole chain before the next one; but the groups'
// recurrences are independent within a step, so the processor overlaps them instead of waiting for each
// group's latency in turn.
#pragma once

namespace amp {

// buf[0..m): the chain's inputs, replaced in place by its outputs (single precision at both ends, double
// in between). Each group maps a double to a double. Flattened: the groups only overlap when their
// instructions sit together in one loop body, not behind calls.
template <class G0, class G1, class G2, class G3>
[[gnu::flatten]] inline void runStaggered(float* buf, int m, G0&& g0, G1&& g1, G2&& g2, G3&& g3) noexcept
{
    // After a step: a holds sample t through group 0, b sample t-1 through group 1, c sample t-2 through 2.
    double a = 0.0, b = 0.0, c = 0.0;
    // Filling and draining the pipeline: every group only for the samples that exist.
    const auto edgeStep = [&](int t) noexcept {
        if (t >= 3 && t - 3 < m) buf[t - 3] = static_cast<float>(g3(c));
        if (t >= 2 && t - 2 < m) c = g2(b);
        if (t >= 1 && t - 1 < m) b = g1(a);
        if (t < m) a = g0(static_cast<double>(buf[t]));
    };
    int t = 0;
    for (; t < 3; ++t) edgeStep(t);
    for (; t < m; ++t) {
        buf[t - 3] = static_cast<float>(g3(c));
        c = g2(b);
        b = g1(a);
        a = g0(static_cast<double>(buf[t]));
    }
    for (; t < m + 3; ++t) edgeStep(t);
}

} // namespace amp
