// CPU time of the amp per oversampled sample, for each channel and quality, with the stages side by side on
// AVX vectors and one after another: the full-stack amp (preamp, tone stack, power amp) and the
// preamp-only chain (one path, mono).
#include <benchmark/benchmark.h>

#include <vector>

#include "amp/amp_design.h"
#include "amp/full_stack_amp.h"
#include "amp/oversampling.h"
#include "bench_support.h"
#include "preamp/preamp_chain.h"

namespace {

constexpr double kRate = 44100;
constexpr int kBlock = 256;

// range(0): quality (0 LowQ, 1 HighQ); range(1): channel (0 clean, 1 crunch, 2 overdrive).
amp::AmpSwitches switchesFor(const benchmark::State& state)
{
    const auto channel = state.range(1);
    return {channel == 2 ? 1 : 0, channel == 1 ? 1 : 0, 0, 0};
}

void BM_FullStackAmp(benchmark::State& state)
{
    const bool highQ = state.range(0) != 0;
    const amp::AmpSwitches sw = switchesFor(state);
    amp::FullStackAmp a;
    a.adopt(amp::makeAmpDesign(kRate, highQ));
    a.runStagesOn(static_cast<amp::StageVectors>(state.range(2)));
    const std::vector<float> input = bench::pluckedSecond(kRate);
    std::vector<double> output(input.size());
    const std::vector<amp::AmpSampleControls> controls(kBlock, {sw, 0.3, 0.3});
    for (auto _ : state) {
        for (std::size_t start = 0; start < input.size(); start += kBlock) {
            const int count = static_cast<int>(std::min<std::size_t>(kBlock, input.size() - start));
            a.beginBlock({0.6, 0.5, 0.5, 0.5, 0.5, 0.6});
            for (int at = 0; at < count; at += amp::AmpPath::kMaxRun) {
                const int n = std::min(amp::AmpPath::kMaxRun, count - at);
                a.process(input.data() + start + at, controls.data(), n, count - 1 - at, output.data() + start + at);
            }
        }
        benchmark::DoNotOptimize(output.data());
    }
    state.counters["per_oversampled_sample"] = bench::timePer(kRate * amp::oversamplingFactor(kRate, highQ));
}

void BM_PreampChain(benchmark::State& state)
{
    const bool highQ = state.range(0) != 0;
    const amp::AmpSwitches sw = switchesFor(state);
    tavik_preamp::LiveParameters live;
    for (int32_t p : {tavik_preamp::kInput, tavik_preamp::kDrive1, tavik_preamp::kDrive2, tavik_preamp::kLow,
                      tavik_preamp::kMid, tavik_preamp::kHigh, tavik_preamp::kContour, tavik_preamp::kVolume})
        live.values[static_cast<std::size_t>(p)].store(0.6f);
    live.channel.store(sw.channel);
    live.crunch.store(sw.crunch);
    tavik_preamp::PreampChain chain;
    chain.requestSetup(static_cast<float>(kRate));
    chain.adoptPending(highQ);
    chain.restStages(chain.oversampledRate());
    chain.runStagesOn(static_cast<amp::StageVectors>(state.range(2)));

    std::vector<float> input = bench::pluckedSecond(kRate), left(input.size()), right(input.size());
    for (auto _ : state) {
        for (std::size_t start = 0; start < input.size(); start += kBlock) {
            const auto count = static_cast<int32_t>(std::min<std::size_t>(kBlock, input.size() - start));
            float* ins[2] = {input.data() + start, input.data() + start};
            float* outs[2] = {left.data() + start, right.data() + start};
            chain.process(live, ins, outs, count);
        }
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["per_oversampled_sample"] = bench::timePer(kRate * amp::oversamplingFactor(kRate, highQ));
}

void configurations(benchmark::internal::Benchmark* b)
{
    // Stage vectors: 0 none, 1 AVX, 2 AVX-512, as far as the processor goes.
    std::vector<int64_t> vectors;
    for (int v = 0; v <= static_cast<int>(amp::AmpPath::widestStageVectors()); ++v) vectors.push_back(v);
    b->ArgsProduct({{0, 1}, {0, 1, 2}, vectors})->ArgNames({"highQ", "channel", "vectors"})->Unit(benchmark::kMillisecond);
    bench::leastOfNine(b);
}

}  // namespace

BENCHMARK(BM_FullStackAmp)->Apply(configurations);
BENCHMARK(BM_PreampChain)->Apply(configurations);

BENCHMARK_MAIN();
