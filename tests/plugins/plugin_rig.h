// Both plug-ins driven as a host drives them: through the effect record and its dispatcher, with a host
// callback that answers the file selector from a queue (so a test can load an impulse response).
#pragma once

#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/shell_test_host.h"
#include "shell/tavik.h"

namespace plugin_rig {

// The host the shell tests use: answers file-selector requests from shell_test::fileAnswers().
using shell_test::fileAnswers;
using shell_test::host;

enum class Kind { FullStack, PreAmp };

inline const char* name(Kind k) { return k == Kind::FullStack ? "full stack" : "preamp"; }

// One instance, closed through the dispatcher at the end of its scope.
class Plug {
public:
    explicit Plug(Kind kind)
    {
        vst::AudioEffect* fx = kind == Kind::FullStack ? static_cast<vst::AudioEffect*>(new tavik::Tavik(host))
                                                       : static_cast<vst::AudioEffect*>(new tavik_preamp::Tavik(host));
        e = fx->getAeffect();
    }
    ~Plug() { e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f); }
    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    intptr_t call(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return e->dispatcher(e, opcode, index, value, ptr, opt);
    }
    void set(int32_t index, float v) { e->setParameter(e, index, v); }
    float get(int32_t index) { return e->getParameter(e, index); }
    int32_t params() const { return e->numParams; }

    void start(float rate, int32_t block)
    {
        call(vst::effSetSampleRate, 0, 0, nullptr, rate);
        call(vst::effSetBlockSize, 0, block);
        call(vst::effMainsChanged, 0, 1);
    }

    std::vector<unsigned char> chunk(bool program)
    {
        void* data = nullptr;
        const auto size = call(vst::effGetChunk, program ? 1 : 0, 0, &data);
        auto* bytes = static_cast<unsigned char*>(data);
        return size > 0 && bytes ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>{};
    }
    intptr_t setChunk(std::vector<unsigned char> bytes, bool program)
    {
        return call(vst::effSetChunk, program ? 1 : 0, static_cast<intptr_t>(bytes.size()), bytes.data());
    }

    // Processes `frames` of the input, both inputs fed `left` and `right`; appends the outputs, interleaved.
    void process(const float* left, const float* right, int32_t frames, std::vector<float>& out)
    {
        std::vector<float> l(left, left + frames), r(right, right + frames), ol(static_cast<size_t>(frames)),
            orr(static_cast<size_t>(frames));
        float* ins[2] = {l.data(), r.data()};
        float* outs[2] = {ol.data(), orr.data()};
        e->processReplacing(e, ins, outs, frames);
        for (int32_t i = 0; i < frames; ++i) {
            out.push_back(ol[static_cast<size_t>(i)]);
            out.push_back(orr[static_cast<size_t>(i)]);
        }
    }

    vst::AEffect* e;
};

// A guitar-like test signal: plucked notes, decaying, both channels a little different.
inline std::vector<float> guitar(int frames, double rate, double detune = 1.0)
{
    std::vector<float> x(static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        const double t = n / rate;
        const double local = std::fmod(t, 0.37);
        const double f = detune * (t < 0.37 ? 82.4 : t < 0.74 ? 110.0 : 146.8);
        x[static_cast<size_t>(n)] = static_cast<float>(
            0.4 * std::exp(-4.0 * local) * (std::sin(2 * M_PI * f * t) + 0.4 * std::sin(2 * M_PI * 3.01 * f * t)));
    }
    return x;
}

}  // namespace plugin_rig
