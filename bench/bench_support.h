// What the benchmarks share: the least-of-nine reporting for a shared, noisy machine, and the test signal.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

// The machine is shared: the least time over the repetitions is the figure that noise disturbs least.
inline void leastOfNine(benchmark::internal::Benchmark* b)
{
    b->Repetitions(9)->ReportAggregatesOnly(true)->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });
}

// A counter that shows the time per item (per oversampled sample, per lookup) next to the time per run.
inline benchmark::Counter timePer(double itemsPerIteration)
{
    return benchmark::Counter(itemsPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One second of a plucked-string-like signal: two partials under a decay, restruck every quarter second.
inline std::vector<float> pluckedSecond(double rate)
{
    std::vector<float> x(static_cast<std::size_t>(rate));
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double t = static_cast<double>(n) / rate, s = std::fmod(t, 0.25);
        x[n] = static_cast<float>(0.4 * std::exp(-8.0 * s)
                                  * (std::sin(2 * 3.141592653589793 * 110.0 * t) + 0.5 * std::sin(2 * 3.141592653589793 * 331.0 * t)));
    }
    return x;
}

}  // namespace bench
