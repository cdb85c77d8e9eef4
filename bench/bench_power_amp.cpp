// CPU time of one power-amp curve lookup: the inline, branch-free lookup against the one it replaced, on
// drives that sweep the steep part and the flat ends in an order the branch predictor cannot learn.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "amp/power_amp_curve.h"
#include "bench_support.h"
#include "reference_power_amp_curve.h"

namespace {

std::vector<double> drives()
{
    std::mt19937 gen(3);
    std::normal_distribution<double> steep(-1.0, 1.5), wide(0.0, 60.0);
    std::vector<double> x(4096);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] = n % 8 == 0 ? wide(gen) : steep(gen);
    return x;
}

void BM_PowerAmpCurve(benchmark::State& state)
{
    const std::vector<double> x = drives();
    const amp::PowerAmpCell* cells = amp::powerAmpCells().data();
    for (auto _ : state) {
        double sum = 0;
        for (double v : x) sum += amp::powerAmpCurve(cells, v);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_lookup"] = bench::timePer(static_cast<double>(x.size()));
}

void BM_PowerAmpCurveReplaced(benchmark::State& state)
{
    const std::vector<double> x = drives();
    for (auto _ : state) {
        double sum = 0;
        for (double v : x) sum += amp::reference::powerAmpCurve(v);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["per_lookup"] = bench::timePer(static_cast<double>(x.size()));
}

}  // namespace

BENCHMARK(BM_PowerAmpCurve)->Unit(benchmark::kMicrosecond)->Apply(bench::leastOfNine);
BENCHMARK(BM_PowerAmpCurveReplaced)->Unit(benchmark::kMicrosecond)->Apply(bench::leastOfNine);

BENCHMARK_MAIN();
