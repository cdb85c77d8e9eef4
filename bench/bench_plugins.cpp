// CPU time of each whole plug-in per second of audio (44.1 kHz, blocks of 256, vsthost's guitar riff), in
// the settings the comparison with gx_amp uses. The time per iteration is the time per audio second.
#include <benchmark/benchmark.h>

#include <memory>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "host/guitar_riff.h"
#include "preamp/preamp_effect.h"
#include "shell/parameter_table.h"
#include "shell/tavik.h"

namespace {

constexpr double kRate = 44100;
constexpr int kBlock = 256;

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

template <class Effect>
void run(benchmark::State& state, const std::vector<std::pair<int32_t, float>>& settings)
{
    auto fx = std::make_unique<Effect>(host);
    fx->setSampleRate(static_cast<float>(kRate));
    for (const auto& [index, value] : settings) fx->setParameter(index, value);
    fx->resume();
    std::vector<float> in = vsthost::guitarRiff(kRate, 1.0), left(in.size()), right(in.size());
    for (auto _ : state) {
        for (std::size_t at = 0; at < in.size(); at += kBlock) {
            const auto n = static_cast<int32_t>(std::min<std::size_t>(kBlock, in.size() - at));
            float* ins[2] = {in.data() + at, in.data() + at};
            float* outs[2] = {left.data() + at, right.data() + at};
            fx->processReplacing(ins, outs, n);
        }
        benchmark::DoNotOptimize(left.data());
    }
}

void BM_FullStackLowQ(benchmark::State& state) { run<tavik::Tavik>(state, {}); }
void BM_FullStackHighQ(benchmark::State& state) { run<tavik::Tavik>(state, {{tavik::kQuality, 1.0f}}); }
void BM_FullStackOverdriveHighQ(benchmark::State& state)
{
    run<tavik::Tavik>(state, {{tavik::kChannel, 1.0f}, {tavik::kDrive2, 0.8f}, {tavik::kQuality, 1.0f}});
}
void BM_PreampMonoLowQ(benchmark::State& state) { run<tavik_preamp::Tavik>(state, {}); }
void BM_PreampStereoHighQ(benchmark::State& state)
{
    run<tavik_preamp::Tavik>(state, {{tavik_preamp::kMonoStereo, 1.0f}, {tavik_preamp::kQuality, 1.0f}});
}

void perAudioSecond(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond);
    bench::leastOfNine(b);
}

}  // namespace

BENCHMARK(BM_FullStackLowQ)->Apply(perAudioSecond);
BENCHMARK(BM_FullStackHighQ)->Apply(perAudioSecond);
BENCHMARK(BM_FullStackOverdriveHighQ)->Apply(perAudioSecond);
BENCHMARK(BM_PreampMonoLowQ)->Apply(perAudioSecond);
BENCHMARK(BM_PreampStereoHighQ)->Apply(perAudioSecond);

BENCHMARK_MAIN();
