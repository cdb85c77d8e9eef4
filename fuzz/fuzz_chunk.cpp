// Damaged state chunks: the fuzzer's bytes are written over a valid program of each plug-in, which is then
// applied and played. Nothing may read or write outside a buffer, and the output must stay finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "preamp/preamp_effect.h"
#include "shell/tavik.h"

namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

void play(vst::AudioEffect& effect) {
    static std::vector<float> in(256), left(256), right(256);
    for (size_t i = 0; i < in.size(); ++i) in[i] = 0.5f * std::sin(0.07f * static_cast<float>(i));
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {left.data(), right.data()};
    effect.processReplacing(ins, outs, static_cast<int32_t>(in.size()));
    for (size_t i = 0; i < in.size(); ++i)
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
}

// Writes the input over `record` as (offset, length, bytes) patches, so that small inputs reach every
// field of a large record.
void patch(unsigned char* record, size_t size, const uint8_t* data, size_t length) {
    size_t at = 0;
    while (at + 4 <= length) {
        const size_t offset = ((size_t(data[at]) << 16) | (size_t(data[at + 1]) << 8) | data[at + 2]) % size;
        const size_t count = std::min<size_t>(data[at + 3], std::min(length - at - 4, size - offset));
        std::memcpy(record + offset, data + at + 4, count);
        at += 4 + count;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto full = [] {
        auto t = std::make_unique<tavik::Tavik>(host);
        t->setSampleRate(44100.0f);
        return t;
    }();
    static auto pre = [] {
        auto t = std::make_unique<tavik_preamp::Tavik>(host);
        t->setSampleRate(44100.0f);
        return t;
    }();
    if (size == 0) return 0;

    std::vector<unsigned char> program(tavik::kProgramChunkSize);
    void* current = nullptr;
    full->getChunk(&current, true);
    std::memcpy(program.data(), current, program.size());
    patch(program.data(), program.size(), data + 1, size - 1);
    full->setProgram(data[0] % tavik::kNumPrograms);
    full->setChunk(program.data(), static_cast<int32_t>(program.size()), true);
    play(*full);

    std::vector<unsigned char> small(3040);
    pre->getChunk(&current, false);
    std::memcpy(small.data(), current, small.size());
    patch(small.data(), small.size(), data + 1, size - 1);
    pre->setChunk(small.data(), static_cast<int32_t>(small.size()), false);
    pre->setProgram(data[0] % 10);
    play(*pre);
    return 0;
}
