// validate's preset-files check: the FXP and FXB files vsthost writes must bring a fresh instance
// into the same state, and so must files laid out by hand from the published format, the way
// another host would write them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/host_error.h"
#include "host/presets.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

using Bytes = std::vector<uint8_t>;

// ---- the published layout, field by field at its offsets ----

void put(Bytes& b, std::size_t at, uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void putName(Bytes& b, std::size_t at, const std::string& name) {
    std::memcpy(b.data() + at, name.data(), std::min<std::size_t>(name.size(), 27));  // 28 bytes, terminated
}
uint32_t bits(float v) {
    uint32_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// fxProgram: 'CcnK', byteSize, fxMagic, version, fxID, fxVersion, numParams, prgName[28] at 28, then
// the parameters at 56, or the chunk size at 56 and the chunk at 60.
Bytes publishedProgram(Plugin& plugin, bool opaque) {
    const std::vector<uint8_t> chunk = opaque ? plugin.chunk(true) : Bytes{};
    const auto params = static_cast<std::size_t>(std::max(plugin.numParams(), 0));
    Bytes b(opaque ? 60 + chunk.size() : 56 + 4 * params, 0);
    put(b, 0, static_cast<uint32_t>(vst::fourCC("CcnK")));
    put(b, 4, static_cast<uint32_t>(b.size() - 8));
    put(b, 8, static_cast<uint32_t>(vst::fourCC(opaque ? "FPCh" : "FxCk")));
    put(b, 12, 1);
    put(b, 16, static_cast<uint32_t>(plugin.effect().uniqueID));
    put(b, 20, static_cast<uint32_t>(plugin.effect().version));
    put(b, 24, static_cast<uint32_t>(plugin.numParams()));
    putName(b, 28, plugin.programName());
    if (opaque) {
        put(b, 56, static_cast<uint32_t>(chunk.size()));
        std::copy(chunk.begin(), chunk.end(), b.begin() + 60);
    } else {
        for (std::size_t i = 0; i < params; ++i) put(b, 56 + 4 * i, bits(plugin.parameter(static_cast<int32_t>(i))));
    }
    return b;
}

// fxBank: 'CcnK', byteSize, fxMagic, version 2, fxID, fxVersion, numPrograms, currentProgram at 28 (the
// first word of future[128]), then at 156 the chunk size and the chunk, or the programs one after another.
Bytes publishedBank(Plugin& plugin, bool opaque) {
    Bytes body;
    if (opaque) {
        const Bytes chunk = plugin.chunk(false);
        body.resize(4 + chunk.size());
        put(body, 0, static_cast<uint32_t>(chunk.size()));
        std::copy(chunk.begin(), chunk.end(), body.begin() + 4);
    } else {
        const int32_t current = plugin.program();
        for (int32_t p = 0; p < plugin.numPrograms(); ++p) {
            plugin.setProgram(p);
            const Bytes program = publishedProgram(plugin, false);
            body.insert(body.end(), program.begin(), program.end());
        }
        plugin.setProgram(current);
    }
    Bytes b(156, 0);
    put(b, 0, static_cast<uint32_t>(vst::fourCC("CcnK")));
    put(b, 4, static_cast<uint32_t>(156 + body.size() - 8));
    put(b, 8, static_cast<uint32_t>(vst::fourCC(opaque ? "FBCh" : "FxBk")));
    put(b, 12, 2);
    put(b, 16, static_cast<uint32_t>(plugin.effect().uniqueID));
    put(b, 20, static_cast<uint32_t>(plugin.effect().version));
    put(b, 24, static_cast<uint32_t>(plugin.numPrograms()));
    put(b, 28, static_cast<uint32_t>(plugin.program()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// ---- comparing a loaded instance with the original ----

// Parameters and name of the current program.
void compareProgram(Probe& probe, Plugin& original, Plugin& loaded, const std::string& what) {
    for (int32_t i = 0; i < original.numParams(); ++i) {
        const float want = original.parameter(i), got = loaded.parameter(i);
        if (!(std::abs(want - got) <= 1e-6f) && !(std::isnan(want) && std::isnan(got))) {
            probe.fail(what + ": parameter " + std::to_string(i) + " reads " + number(got) + " instead of " + number(want));
            return;
        }
    }
    if (original.programName() != loaded.programName())
        probe.fail(what + ": the program is named '" + loaded.programName() + "' instead of '" + original.programName() + "'");
}

void compare(Probe& probe, Plugin& original, Plugin& loaded, bool bank, const std::string& what) {
    if (original.hasFlag(vst::effFlagsProgramChunks)) {
        if (auto diff = firstDifference(original.chunk(!bank), loaded.chunk(!bank)); !diff.empty())
            probe.fail(what + " gives another " + (bank ? "bank" : "program") + " chunk: " + diff);
        return;
    }
    if (!bank) {
        compareProgram(probe, original, loaded, what);
        return;
    }
    const int32_t current = original.program();
    if (loaded.program() != current)
        probe.fail(what + " leaves program " + std::to_string(loaded.program()) + " current instead of " + std::to_string(current));
    for (int32_t p = 0; p < original.numPrograms(); ++p) {
        original.setProgram(p);
        loaded.setProgram(p);
        compareProgram(probe, original, loaded, what + ", program " + std::to_string(p));
    }
    original.setProgram(current);
    loaded.setProgram(current);
}

void loadInto(Probe& probe, Plugin& original, const Bytes& bytes, bool bank, const std::string& what) {
    probe.step("loading " + what + " into a fresh instance");
    HostContext host;
    auto fresh = probe.load(host);
    restart(*fresh, 44100.0, 512);
    try {
        fx::apply(*fresh, fx::decode(bytes), what);
    } catch (const HostError& e) {
        probe.fail(what + " does not load: " + e.what());
        return;
    }
    compare(probe, original, *fresh, bank, what);
}

}  // namespace

void checkPresetFiles(Probe& probe) {
    HostContext host;
    auto original = probe.load(host);
    restart(*original, 44100.0, 512);
    const bool opaque = original->hasFlag(vst::effFlagsProgramChunks);
    const int rounds = 1 + probe.level() / 4;
    for (int round = 0; round < rounds; ++round) {
        // A state unlike the one a fresh instance starts in: another program, random values, a name.
        probe.step("giving the plug-in setting " + std::to_string(round));
        if (original->numPrograms() > 1) original->setProgram((round + 1) % original->numPrograms());
        for (int32_t i = 0; i < original->numParams(); ++i) original->setParameter(i, probe.random().unit());
        char name[64] = {};
        std::snprintf(name, sizeof name, "validate %d", round + 1);
        original->dispatch(vst::effSetProgramName, 0, 0, name);

        const std::string setting = " (setting " + std::to_string(round) + ")";
        for (bool bank : {false, true}) {
            const char* kind = bank ? "bank" : "program";
            loadInto(probe, *original, fx::encode(fx::capture(*original, bank)), bank,
                     std::string("the ") + kind + " file vsthost wrote" + setting);
            loadInto(probe, *original, bank ? publishedBank(*original, opaque) : publishedProgram(*original, opaque), bank,
                     std::string("a ") + kind + " file laid out by hand" + setting);
        }
    }
    probe.pass(std::string(opaque ? "opaque ('FPCh', 'FBCh')" : "parameter-list ('FxCk', 'FxBk')") +
               " program and bank files, written by vsthost and laid out by hand from the published format, give a "
               "fresh instance the same " + (opaque ? "chunks" : "parameters and names") + " in " + plural(rounds, "setting"));
}

}  // namespace vsthost::validation
