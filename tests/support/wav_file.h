// Writes small WAV files for tests: PCM 16-bit or 32-bit float, interleaved frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

inline void putLe(std::vector<unsigned char>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline std::vector<unsigned char> wavBytes(const std::vector<float>& interleaved, int channels, uint32_t rate,
                                           bool asFloat = false) {
    const int bits = asFloat ? 32 : 16;
    const uint32_t dataSize = static_cast<uint32_t>(interleaved.size()) * static_cast<uint32_t>(bits / 8);
    std::vector<unsigned char> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, 36 + dataSize, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);
    putLe(out, asFloat ? 3 : 1, 2);
    putLe(out, static_cast<uint32_t>(channels), 2);
    putLe(out, rate, 4);
    putLe(out, rate * static_cast<uint32_t>(channels * bits / 8), 4);
    putLe(out, static_cast<uint32_t>(channels * bits / 8), 2);
    putLe(out, static_cast<uint32_t>(bits), 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, dataSize, 4);
    for (float s : interleaved) {
        if (asFloat) {
            uint32_t u;
            static_assert(sizeof(u) == sizeof(s));
            __builtin_memcpy(&u, &s, 4);
            putLe(out, u, 4);
        } else {
            float c = s > 1.0f ? 1.0f : (s < -1.0f ? -1.0f : s);
            putLe(out, static_cast<uint32_t>(static_cast<int16_t>(c * 32767.0f)) & 0xffffu, 2);
        }
    }
    return out;
}

inline std::string writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// A decaying, slightly resonant impulse response of `frames` samples.
inline std::vector<float> testImpulseResponse(int frames, float first = 0.9f) {
    std::vector<float> ir(static_cast<size_t>(frames));
    double a = first;
    for (int i = 0; i < frames; ++i) {
        ir[static_cast<size_t>(i)] = static_cast<float>(a * ((i % 7) < 3 ? 1.0 : -0.6));
        a *= 0.995;
    }
    return ir;
}

}  // namespace testing_support
