// What the LV2 side knows of one plug-in: its URIs, its parameter rows and how to make its effect. The
// adapter and the turtle generator read the same description, so the ports a host reads are the ones run
// serves.
#pragma once

#include <cstdint>
#include <string>

#include "effect/parameter_info.h"
#include "vst/audio_effect.h"

namespace tavik_lv2 {

// The fixed ports ahead of the parameters.
enum FixedPort : uint32_t { kInLeft = 0, kInRight, kOutLeft, kOutRight, kControl, kNotify, kLatency, kFirstParameter };

struct Description {
    const char* uri;
    const char* bundle;  // folder name, also the library's and the plug-in turtle's base name
    const char* name;
    int minorVersion;
    int microVersion;
    int32_t params;
    const effect::ParameterInfo* table;
    // Names of the rows the VST 2 side leaves unnamed; nullptr where the table's name serves.
    const char* const* extraNames;
    vst::AudioEffect* (*create)(vst::AudioMasterCallback);
    // Impulse-response file properties (0 or 2): their URIs, and the loader running off the audio thread.
    int fileProperties;
    const char* const* fileUris;
    const char* const* fileLabels;
    bool (*loadFile)(vst::AudioEffect&, int cabinet, const std::string& path);
};

// Rows that are stored parameters get a control port, in index order; the load triggers (no value) do not.
inline bool hasPort(const Description& d, int32_t index) noexcept { return d.table[index].hasValue; }

inline uint32_t portCount(const Description& d) noexcept {
    uint32_t n = kFirstParameter;
    for (int32_t i = 0; i < d.params; ++i) n += hasPort(d, i) ? 1 : 0;
    return n;
}

inline const char* parameterName(const Description& d, int32_t index) noexcept {
    if (d.extraNames && d.extraNames[index]) return d.extraNames[index];
    return d.table[index].name;
}

// A port symbol from a name: lower case, anything but letters and digits as one underscore.
inline std::string symbolFor(const char* name) {
    std::string s;
    for (const char* c = name; *c; ++c) {
        const char ch = *c;
        const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (alnum)
            s += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
        else if (!s.empty() && s.back() != '_')
            s += '_';
    }
    while (!s.empty() && s.back() == '_') s.pop_back();
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) s.insert(0, "p_");
    return s;
}

const Description& fullStackDescription();
const Description& preampDescription();

}  // namespace tavik_lv2
