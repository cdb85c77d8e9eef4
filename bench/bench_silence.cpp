// CPU per second of audio on a guitar signal and on silence (both inputs, or only the right one), for both
// plug-ins through their process entry, as a host calls it. Recursive filters decaying on silence fall into
// denormal numbers, which cost the processor many times a normal operation: silence must cost no more.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/tavik.h"

namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

enum Input { Guitar = 0, RightSilent = 1, Silence = 2 };

void BM_Plugin(benchmark::State& state)
{
    const bool preamp = state.range(0) != 0;
    const auto input = static_cast<Input>(state.range(1));
    const double rate = 44100;
    vst::AudioEffect* fx = preamp ? static_cast<vst::AudioEffect*>(new tavik_preamp::Tavik(host))
                                  : static_cast<vst::AudioEffect*>(new tavik::Tavik(host));
    vst::AEffect* e = fx->getAeffect();
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    e->setParameter(e, preamp ? int32_t{tavik_preamp::kQuality} : int32_t{tavik::kQuality}, 1.0f);  // HighQ
    if (preamp) e->setParameter(e, tavik_preamp::kMonoStereo, 1.0f);              // dual mono

    const auto frames = static_cast<std::size_t>(rate);
    std::vector<float> guitar(frames), zero(frames, 0.0f);
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        guitar[n] = static_cast<float>(0.3 * std::exp(-3.0 * std::fmod(t, 0.5)) * std::sin(2 * M_PI * 110.0 * t));
    }
    const std::vector<float>& left = input == Silence ? zero : guitar;
    const std::vector<float>& right = input == Guitar ? guitar : zero;
    std::vector<float> l(frames), r(frames), outL(256), outR(256);
    // Music first, then the input measured for a while: the costly part of silence is the tail of the music
    // decaying far below audibility.
    auto play = [&](const std::vector<float>& inL, const std::vector<float>& inR) {
        for (std::size_t at = 0; at + 256 <= frames; at += 256) {
            std::copy_n(inL.data() + at, 256, l.data());
            std::copy_n(inR.data() + at, 256, r.data());
            float* ins[2] = {l.data(), r.data()};
            float* outs[2] = {outL.data(), outR.data()};
            e->processReplacing(e, ins, outs, 256);
        }
    };
    play(guitar, guitar);
    for (int warm = 0; warm < 30; ++warm) play(left, right);
    for (auto _ : state) {
        play(left, right);
        benchmark::DoNotOptimize(outR.data());
    }
    e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
    state.SetLabel(std::string(preamp ? "preamp dual mono" : "full stack") + " HighQ, " +
                   (input == Guitar ? "guitar" : input == RightSilent ? "right input silent" : "silence"));
}

}  // namespace

BENCHMARK(BM_Plugin)->ArgsProduct({{0, 1}, {Guitar, RightSilent, Silence}})->ArgNames({"preamp", "input"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
