#include "host/presets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "host/host_error.h"
#include "host/plugin.h"
#include "host/regular_file.h"
#include "vst/utf8_cut.h"

namespace vsthost::fx {
namespace {

// The format's 32-bit sizes would allow banks of 4 GiB, but real ones are far smaller (the full-stack
// plug-in's bank of ten programs, impulse responses and all, is 1.3 MB; a sampler's may reach tens of
// MB). A larger file is a wrong one, refused before a byte of it is read.
constexpr uint64_t kMaxPresetBytes = uint64_t{64} << 20;

std::vector<uint8_t> readFile(const std::string& path) { return RegularFile(path, "load", kMaxPresetBytes).readAll(); }

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw HostError("cannot write preset " + path);
}

bool endsWithFxb(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".fxb";
}

void setProgramName(Plugin& plugin, const std::string& name) {
    char buffer[kNameSize + 4] = {};
    std::memcpy(buffer, name.data(), vst::utf8Cut(name.data(), name.size(), vst::kVstMaxProgNameLen));
    plugin.dispatch(vst::effSetProgramName, 0, 0, buffer);
}

void applyParams(Plugin& plugin, const Program& program, const std::string& what) {
    const auto n = std::min(program.params.size(), static_cast<std::size_t>(std::max(plugin.numParams(), 0)));
    if (program.params.size() != static_cast<std::size_t>(plugin.numParams()))
        std::fprintf(stderr, "vsthost: %s has %zu parameters, the plug-in %d; setting the first %zu\n",
                     what.c_str(), program.params.size(), plugin.numParams(), n);
    for (std::size_t i = 0; i < n; ++i) plugin.setParameter(static_cast<int32_t>(i), program.params[i]);
    setProgramName(plugin, program.name);
}

// Some plug-ins answer 0 to a chunk they took, so a 0 is checked by reading the chunk back.
void applyChunk(Plugin& plugin, const std::vector<uint8_t>& chunk, bool preset, const std::string& what) {
    if (!plugin.hasFlag(vst::effFlagsProgramChunks))
        throw HostError(what + " holds a state chunk, but the plug-in does not take chunks");
    if (plugin.setChunk(chunk, preset) == 0 && plugin.chunk(preset) != chunk)
        throw HostError("the plug-in refused the state chunk of " + what);
}

}  // namespace

File capture(Plugin& plugin, bool bank) {
    File file;
    file.isBank = bank;
    file.fxID = plugin.effect().uniqueID;
    file.fxVersion = plugin.effect().version;
    const bool opaque = plugin.hasFlag(vst::effFlagsProgramChunks);
    auto params = [&plugin] {
        std::vector<float> values;
        for (int32_t i = 0; i < plugin.numParams(); ++i) values.push_back(plugin.parameter(i));
        return values;
    };
    if (!bank) {
        Program& program = file.program;
        program.name = plugin.programName();
        program.opaque = opaque;
        program.numParams = plugin.numParams();
        if (opaque) {
            program.chunk = plugin.chunk(true);
            if (program.chunk.empty()) throw HostError("the plug-in gave no program chunk to save");
        } else {
            program.params = params();
        }
        return file;
    }
    file.bank.opaque = opaque;
    file.bank.numPrograms = plugin.numPrograms();
    const int32_t current = plugin.program();
    file.bank.currentProgram = current;
    if (opaque) {
        file.bank.chunk = plugin.chunk(false);
        if (file.bank.chunk.empty()) throw HostError("the plug-in gave no bank chunk to save");
        return file;
    }
    for (int32_t i = 0; i < plugin.numPrograms(); ++i) {
        plugin.setProgram(i);
        Program program;
        program.name = plugin.programName();
        program.params = params();
        program.numParams = plugin.numParams();
        file.bank.programs.push_back(std::move(program));
    }
    plugin.setProgram(current);
    return file;
}

void apply(Plugin& plugin, const File& file, const std::string& what) {
    if (file.fxID != plugin.effect().uniqueID)
        throw HostError(what + " is for plug-in '" + fourCharText(file.fxID) + "', not '" +
                        fourCharText(plugin.effect().uniqueID) + "'");
    if (!file.isBank) {
        if (file.program.opaque)
            applyChunk(plugin, file.program.chunk, true, what);
        else
            applyParams(plugin, file.program, what);
        return;
    }
    const Bank& bank = file.bank;
    const bool currentValid = bank.currentProgram >= 0 && bank.currentProgram < plugin.numPrograms();
    if (bank.opaque) {
        applyChunk(plugin, bank.chunk, false, what);
        if (currentValid) plugin.setProgram(bank.currentProgram);
        return;
    }
    const int32_t current = plugin.program();
    const auto n = std::min(bank.programs.size(), static_cast<std::size_t>(std::max(plugin.numPrograms(), 0)));
    for (std::size_t i = 0; i < n; ++i) {
        plugin.setProgram(static_cast<int32_t>(i));
        applyParams(plugin, bank.programs[i], what);
    }
    plugin.setProgram(currentValid ? bank.currentProgram : current);
}

void save(Plugin& plugin, const std::string& path) { writeFile(path, encode(capture(plugin, endsWithFxb(path)))); }

void load(Plugin& plugin, const std::string& path) {
    const std::vector<uint8_t> bytes = readFile(path);
    File file;
    try {
        file = decode(bytes);
    } catch (const HostError& e) {
        throw HostError(path + ": " + e.what());
    }
    apply(plugin, file, path);
}

}  // namespace vsthost::fx
