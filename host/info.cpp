// vsthost info: what a plug-in says about itself.
#include <string>
#include <utility>
#include <vector>

#include "host/commands.h"
#include "host/json.h"
#include "host/plugin.h"

namespace vsthost {
namespace {

std::vector<std::string> flagNames(int32_t flags) {
    static const std::pair<int32_t, const char*> known[] = {
        {1 << 0, "effFlagsHasEditor"},     {1 << 1, "effFlagsHasClip"},
        {1 << 2, "effFlagsHasVu"},         {1 << 3, "effFlagsCanMono"},
        {1 << 4, "effFlagsCanReplacing"},  {1 << 5, "effFlagsProgramChunks"},
        {1 << 8, "effFlagsIsSynth"},       {1 << 9, "effFlagsNoSoundInStop"},
        {1 << 10, "effFlagsExtIsAsync"},   {1 << 11, "effFlagsExtHasBuffer"},
        {1 << 12, "effFlagsCanDoubleReplacing"},
    };
    std::vector<std::string> names;
    int32_t rest = flags;
    for (const auto& [bit, name] : known) {
        if (flags & bit) names.emplace_back(name);
        rest &= ~bit;
    }
    for (int bit = 0; bit < 32; ++bit)
        if (static_cast<uint32_t>(rest) & (1u << bit)) names.push_back("bit" + std::to_string(bit));
    return names;
}

struct Param {
    int32_t index;
    std::string name, label, display;
    float value;
};

struct Description {
    std::string name, vendor, product;
    intptr_t vendorVersion, vstVersion;
    int32_t uniqueID, version, inputs, outputs, numParams, numPrograms, flags, initialDelay;
    std::vector<Param> params;
    std::vector<std::string> programs;
};

Description describe(Plugin& plugin) {
    Description d;
    vst::AEffect& e = plugin.effect();
    d.name = plugin.effectName();
    d.vendor = plugin.vendor();
    d.product = plugin.product();
    d.vendorVersion = plugin.dispatch(vst::effGetVendorVersion);
    d.vstVersion = plugin.dispatch(vst::effGetVstVersion);
    d.uniqueID = e.uniqueID;
    d.version = e.version;
    d.inputs = e.numInputs;
    d.outputs = e.numOutputs;
    d.numParams = e.numParams;
    d.numPrograms = e.numPrograms;
    d.flags = e.flags;
    d.initialDelay = e.initialDelay;
    for (int32_t i = 0; i < e.numParams; ++i)
        d.params.push_back({i, plugin.paramName(i), plugin.paramLabel(i), plugin.paramDisplay(i), plugin.parameter(i)});
    d.programs = plugin.programNames();
    return d;
}

void printJson(FILE* out, const Description& d) {
    std::fprintf(out, "{\n  \"name\": %s,\n  \"vendor\": %s,\n  \"product\": %s,\n", jsonString(d.name).c_str(),
                 jsonString(d.vendor).c_str(), jsonString(d.product).c_str());
    std::fprintf(out, "  \"vendorVersion\": %ld,\n  \"vstVersion\": %ld,\n  \"uniqueID\": %s,\n  \"version\": %d,\n",
                 static_cast<long>(d.vendorVersion), static_cast<long>(d.vstVersion),
                 jsonString(fourCharText(d.uniqueID)).c_str(), d.version);
    std::fprintf(out, "  \"numInputs\": %d,\n  \"numOutputs\": %d,\n  \"numParams\": %d,\n  \"numPrograms\": %d,\n",
                 d.inputs, d.outputs, d.numParams, d.numPrograms);
    std::fprintf(out, "  \"flags\": [");
    const auto flags = flagNames(d.flags);
    for (std::size_t i = 0; i < flags.size(); ++i) std::fprintf(out, "%s%s", i ? ", " : "", jsonString(flags[i]).c_str());
    std::fprintf(out, "],\n  \"initialDelay\": %d,\n  \"params\": [", d.initialDelay);
    for (std::size_t i = 0; i < d.params.size(); ++i) {
        const Param& p = d.params[i];
        std::fprintf(out, "%s\n    {\"index\": %d, \"name\": %s, \"label\": %s, \"display\": %s, \"value\": %s}",
                     i ? "," : "", p.index, jsonString(p.name).c_str(), jsonString(p.label).c_str(),
                     jsonString(p.display).c_str(), jsonNumber(p.value).c_str());
    }
    std::fprintf(out, "%s],\n  \"programs\": [", d.params.empty() ? "" : "\n  ");
    for (std::size_t i = 0; i < d.programs.size(); ++i)
        std::fprintf(out, "%s%s", i ? ", " : "", jsonString(d.programs[i]).c_str());
    std::fprintf(out, "]\n}\n");
}

void printText(FILE* out, const Description& d) {
    std::fprintf(out, "%s\n", d.name.c_str());
    std::fprintf(out, "  vendor         %s\n  product        %s\n", d.vendor.c_str(), d.product.c_str());
    std::fprintf(out, "  vendorVersion  %ld\n  vstVersion     %ld\n", static_cast<long>(d.vendorVersion),
                 static_cast<long>(d.vstVersion));
    std::fprintf(out, "  uniqueID       %s\n  version        %d\n", fourCharText(d.uniqueID).c_str(), d.version);
    std::fprintf(out, "  inputs         %d\n  outputs        %d\n", d.inputs, d.outputs);
    std::fprintf(out, "  parameters     %d\n  programs       %d\n", d.numParams, d.numPrograms);
    std::fprintf(out, "  flags         ");
    for (const std::string& flag : flagNames(d.flags)) std::fprintf(out, " %s", flag.c_str());
    std::fprintf(out, "\n  initialDelay   %d\n", d.initialDelay);
    if (!d.params.empty()) std::fprintf(out, "parameters (index, name, value, display, label):\n");
    for (const Param& p : d.params)
        std::fprintf(out, "  %5d  %-24s %-10.6g %-12s %s\n", p.index, p.name.c_str(), static_cast<double>(p.value),
                     p.display.c_str(), p.label.c_str());
    if (!d.programs.empty()) std::fprintf(out, "programs:\n");
    for (std::size_t i = 0; i < d.programs.size(); ++i) std::fprintf(out, "  %5zu  %s\n", i, d.programs[i].c_str());
}

}  // namespace

int runInfo(const Options& options) {
    HostContext host;
    auto plugin = Plugin::load(options.plugin, host);
    plugin->setSampleRate(44100.0);
    plugin->setBlockSize(512);
    const Description d = describe(*plugin);
    if (options.json)
        printJson(results(), d);
    else
        printText(results(), d);
    std::fflush(results());
    return 0;
}

}  // namespace vsthost
