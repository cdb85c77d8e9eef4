// CPU time of the full-stack amp chain per second of audio, per channel and quality.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "amp/amp_design.h"
#include "amp/full_stack_amp.h"

namespace {

void BM_FullStackAmp(benchmark::State& state)
{
    const bool highQ = state.range(0) != 0;
    const int channel = static_cast<int>(state.range(1)); // 0 clean, 1 crunch, 2 overdrive
    const double rate = 44100;
    const amp::AmpSwitches sw{channel == 2 ? 1 : 0, channel == 1 ? 1 : 0, 0, 0};

    amp::FullStackAmp a;
    a.adopt(amp::makeAmpDesign(rate, highQ));
    std::vector<float> input(static_cast<std::size_t>(rate));
    for (std::size_t n = 0; n < input.size(); ++n)
        input[n] = static_cast<float>(0.3 * std::sin(2 * 3.141592653589793 * 110.0 * static_cast<double>(n) / rate));

    const int block = 512;
    for (auto _ : state) {
        double sum = 0;
        for (std::size_t start = 0; start < input.size(); start += block) {
            a.beginBlock({0.6, 0.5, 0.5, 0.5, 0.5, 0.6});
            const int count = static_cast<int>(std::min<std::size_t>(block, input.size() - start));
            for (int i = 0; i < count; ++i)
                sum += a.processSample(input[start + static_cast<std::size_t>(i)], count - 1 - i, sw, 0.3, 0.3);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetLabel("one second of audio at 44100 Hz");
}

} // namespace

BENCHMARK(BM_FullStackAmp)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->ArgNames({"highQ", "channel"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
