// A host for direct tests of the full-stack effect: answers the file selector from a queue.
#pragma once

#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "shell/tavik.h"

namespace shell_test {

inline std::deque<std::string>& fileAnswers() {
    static std::deque<std::string> answers;
    return answers;
}

inline intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
    case vst::audioMasterVersion: return 2400;
    case vst::audioMasterCanDo: return ptr && std::strcmp(static_cast<const char*>(ptr), "openFileSelector") == 0;
    case vst::audioMasterOpenFileSelector: {
        auto* request = static_cast<vst::VstFileSelect*>(ptr);
        if (fileAnswers().empty() || !request->returnPath) return 0;
        std::strncpy(request->returnPath, fileAnswers().front().c_str(), static_cast<size_t>(request->sizeReturnPath));
        fileAnswers().pop_front();
        return 1;
    }
    case vst::audioMasterCloseFileSelector: return 1;
    default: return 0;
    }
}

inline std::unique_ptr<tavik::Tavik> make(float rate = 44100.0f) {
    auto t = std::make_unique<tavik::Tavik>(host);
    t->setSampleRate(rate);
    return t;
}

inline void load(tavik::Tavik& t, int cabinet, const std::string& path) {
    fileAnswers().push_back(path);
    t.setParameter(tavik::kLoadIr1 + cabinet, 1.0f);
    fileAnswers().clear();
}

// Runs a guitar-like test signal through the effect; returns left and right, one after the other.
inline std::vector<float> render(tavik::Tavik& t, int frames, int block = 256, double rate = 44100.0) {
    std::vector<float> in(static_cast<size_t>(block)), l(in.size()), r(in.size()), out;
    out.reserve(static_cast<size_t>(2 * frames));
    for (int at = 0; at < frames; at += block) {
        for (int i = 0; i < block; ++i) {
            double time = (at + i) / rate;
            in[static_cast<size_t>(i)] = static_cast<float>(0.3 * std::exp(-3.0 * time) *
                                                            (std::sin(2 * M_PI * 110 * time) + 0.5 * std::sin(2 * M_PI * 331 * time)));
        }
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {l.data(), r.data()};
        t.processReplacing(ins, outs, block);
        for (int i = 0; i < block; ++i) {
            out.push_back(l[static_cast<size_t>(i)]);
            out.push_back(r[static_cast<size_t>(i)]);
        }
    }
    return out;
}

inline double energy(const std::vector<float>& v, int channel) {
    double e = 0;
    for (size_t i = static_cast<size_t>(channel); i < v.size(); i += 2) e += double(v[i]) * v[i];
    return e;
}

inline double spectrumEnergy(const double* s, int n) {
    double e = 0;
    for (int i = 0; i < n; ++i) e += s[i] * s[i];
    return e;
}

}  // namespace shell_test
