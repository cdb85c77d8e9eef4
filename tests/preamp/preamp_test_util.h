// A minimal host and signal helpers shared by the preamp-only plug-in's direct tests.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "preamp/preamp_effect.h"

namespace preamp_test {

inline constexpr double kPi = 3.14159265358979323846;

// What the host answers to the plug-in's sample-rate query (0: it does not know).
inline intptr_t& hostRateAnswer()
{
    static intptr_t answer = 0;
    return answer;
}

inline intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == vst::audioMasterVersion) return 2400;
    if (opcode == vst::audioMasterGetSampleRate) return hostRateAnswer();
    return 0;
}

inline std::unique_ptr<tavik_preamp::Tavik> makeEffect()
{
    return std::make_unique<tavik_preamp::Tavik>(host);
}

inline std::vector<float> sine(double freq, double amplitude, int frames, double rate = 44100.0)
{
    std::vector<float> x(static_cast<std::size_t>(frames));
    for (int n = 0; n < frames; ++n)
        x[static_cast<std::size_t>(n)] = static_cast<float>(amplitude * std::sin(2 * kPi * freq * n / rate));
    return x;
}

struct Stereo {
    std::vector<float> left, right;
};

// Processes left and right inputs in blocks; returns both outputs.
inline Stereo render(tavik_preamp::Tavik& fx, std::vector<float> left, std::vector<float> right, int block = 256)
{
    Stereo out{std::vector<float>(left.size()), std::vector<float>(left.size())};
    for (std::size_t at = 0; at < left.size(); at += static_cast<std::size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min<std::size_t>(static_cast<std::size_t>(block), left.size() - at));
        float* ins[2] = {left.data() + at, right.data() + at};
        float* outs[2] = {out.left.data() + at, out.right.data() + at};
        fx.processReplacing(ins, outs, n);
    }
    return out;
}

inline double rms(const std::vector<float>& x, std::size_t from = 0)
{
    double sum = 0;
    for (std::size_t i = from; i < x.size(); ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(x.size() - from));
}

}  // namespace preamp_test
