// Writes a plug-in's bundle description (manifest.ttl, the plug-in's turtle, presets.ttl) from its parameter
// table, at build time. Defaults are what a fresh instance holds in program 0; a preset is what the effect
// holds after its settings are made, so channel recalls and couplings come out as they play.
//   generate_turtle fullstack|preamp <bundle folder>
#include <deque>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "lv2/plugin_description.h"

namespace {

using tavik_lv2::Description;

struct Preset {
    const char* label;
    std::vector<std::pair<const char*, float>> settings;  // parameter name, value
};

intptr_t master(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

int32_t indexOf(const Description& d, const char* name) {
    for (int32_t i = 0; i < d.params; ++i)
        if (tavik_lv2::parameterName(d, i) && std::strcmp(tavik_lv2::parameterName(d, i), name) == 0) return i;
    return -1;
}

// The control-port values an effect holds.
std::vector<float> portValues(const Description& d, const Preset* preset) {
    std::unique_ptr<vst::AudioEffect> effect(d.create(master));
    effect->setSampleRate(44100.0f);
    if (preset)
        for (const auto& [name, value] : preset->settings) {
            const int32_t i = indexOf(d, name);
            if (i < 0) throw std::runtime_error(std::string("no parameter ") + name);
            effect->setParameter(i, value);
        }
    std::vector<float> values;
    for (int32_t i = 0; i < d.params; ++i)
        if (tavik_lv2::hasPort(d, i)) values.push_back(effect->getParameter(i));
    return values;
}

std::string presetUri(const Description& d, const Preset& p) { return std::string(d.uri) + ":preset:" + tavik_lv2::symbolFor(p.label); }

const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";

std::string pluginTurtle(const Description& d) {
    std::ostringstream t;
    t << kPrefixes;
    for (int f = 0; f < d.fileProperties; ++f)
        t << "<" << d.fileUris[f] << ">\n    a lv2:Parameter ;\n    rdfs:label " << quoted(d.fileLabels[f])
          << " ;\n    rdfs:range atom:Path .\n\n";
    t << "<" << d.uri << ">\n    a lv2:Plugin , lv2:SimulatorPlugin , doap:Project ;\n    doap:name " << quoted(d.name)
      << " ;\n    doap:maintainer [ foaf:name \"Mirad Plugins\" ] ;\n    lv2:minorVersion " << d.minorVersion
      << " ;\n    lv2:microVersion " << d.microVersion
      << " ;\n    lv2:requiredFeature urid:map ;\n    lv2:optionalFeature lv2:hardRTCapable , opts:options";
    if (d.fileProperties > 0) t << " , work:schedule";
    t << " ;\n    opts:supportedOption bufsz:maxBlockLength ;\n    lv2:extensionData state:interface";
    if (d.fileProperties > 0) t << " , work:interface";
    t << " ;\n";
    if (d.fileProperties > 0) {
        t << "    patch:writable";
        for (int f = 0; f < d.fileProperties; ++f) t << (f ? " , <" : " <") << d.fileUris[f] << ">";
        t << " ;\n";
    }
    t << "    lv2:port [\n"
         "        a lv2:AudioPort , lv2:InputPort ;\n        lv2:index 0 ;\n        lv2:symbol \"in_l\" ;\n        lv2:name \"In L\"\n"
         "    ] , [\n"
         "        a lv2:AudioPort , lv2:InputPort ;\n        lv2:index 1 ;\n        lv2:symbol \"in_r\" ;\n        lv2:name \"In R\"\n"
         "    ] , [\n"
         "        a lv2:AudioPort , lv2:OutputPort ;\n        lv2:index 2 ;\n        lv2:symbol \"out_l\" ;\n        lv2:name \"Out L\"\n"
         "    ] , [\n"
         "        a lv2:AudioPort , lv2:OutputPort ;\n        lv2:index 3 ;\n        lv2:symbol \"out_r\" ;\n        lv2:name \"Out R\"\n"
         "    ] , [\n"
         "        a atom:AtomPort , lv2:InputPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
         "        lv2:index 4 ;\n        lv2:symbol \"control\" ;\n        lv2:name \"Control\"\n"
         "    ] , [\n"
         "        a atom:AtomPort , lv2:OutputPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
         "        lv2:index 5 ;\n        lv2:symbol \"notify\" ;\n        lv2:name \"Notify\"\n"
         "    ] , [\n"
         "        a lv2:ControlPort , lv2:OutputPort ;\n        lv2:designation lv2:latency ;\n"
         "        lv2:portProperty lv2:integer ;\n        units:unit units:frame ;\n"
         "        lv2:index 6 ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
         "        lv2:minimum 0 ;\n        lv2:maximum 8192 ;\n        lv2:default 0\n    ]";
    const std::vector<float> defaults = portValues(d, nullptr);
    uint32_t port = tavik_lv2::kFirstParameter;
    std::size_t k = 0;
    for (int32_t i = 0; i < d.params; ++i) {
        if (!tavik_lv2::hasPort(d, i)) continue;
        const char* name = tavik_lv2::parameterName(d, i);
        t << " , [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << port++
          << " ;\n        lv2:symbol " << quoted(tavik_lv2::symbolFor(name)) << " ;\n        lv2:name " << quoted(name)
          << " ;\n        lv2:default " << number(defaults[k++]) << " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0";
        if (d.table[i].onAt != effect::Switch::None) t << " ;\n        lv2:portProperty lv2:toggled";
        t << "\n    ]";
    }
    t << " .\n";
    return t.str();
}

std::vector<Preset> presetsFor(const Description& d) {
    std::vector<Preset> presets = {
        {"Clean", {{"Channel", 0.0f}, {"Clean/Crunch", 0.0f}}},
        {"Crunch", {{"Channel", 0.0f}, {"Clean/Crunch", 1.0f}, {"Drive1", 0.6f}}},
        {"Overdrive", {{"Channel", 1.0f}, {"Drive2", 0.6f}}},
        {"Overdrive HighQ", {{"Channel", 1.0f}, {"Drive2", 0.6f}, {"LowQ/HighQ", 1.0f}}},
    };
    // The preamp plays both inputs on their own paths in dual-mono.
    if (indexOf(d, "Mono/Stereo") >= 0 && tavik_lv2::hasPort(d, indexOf(d, "Mono/Stereo"))) {
        const std::size_t n = presets.size();
        for (std::size_t i = 0; i < n; ++i) {
            Preset dual = presets[i];
            static std::deque<std::string> labels;  // grows without moving the names already handed out
            labels.push_back(std::string(presets[i].label) + " Dual-Mono");
            dual.label = labels.back().c_str();
            dual.settings.insert(dual.settings.begin(), {"Mono/Stereo", 1.0f});
            presets.push_back(dual);
        }
    }
    return presets;
}

std::string presetsTurtle(const Description& d, const std::vector<Preset>& presets) {
    std::ostringstream t;
    t << kPrefixes;
    for (const Preset& p : presets) {
        const std::vector<float> values = portValues(d, &p);
        t << "<" << presetUri(d, p) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << d.uri
          << "> ;\n    rdfs:label " << quoted(p.label) << " ;\n    lv2:port ";
        std::size_t k = 0;
        for (int32_t i = 0; i < d.params; ++i) {
            if (!tavik_lv2::hasPort(d, i)) continue;
            t << (k ? " , " : "") << "[\n        lv2:symbol " << quoted(tavik_lv2::symbolFor(tavik_lv2::parameterName(d, i)))
              << " ;\n        pset:value " << number(values[k]) << "\n    ]";
            ++k;
        }
        t << " .\n\n";
    }
    return t.str();
}

std::string manifestTurtle(const Description& d, const std::vector<Preset>& presets) {
    std::ostringstream t;
    t << kPrefixes;
    t << "<" << d.uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << d.bundle << ".so> ;\n    rdfs:seeAlso <"
      << d.bundle << ".ttl> .\n\n";
    for (const Preset& p : presets)
        t << "<" << presetUri(d, p) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << d.uri
          << "> ;\n    rdfs:seeAlso <presets.ttl> .\n\n";
    return t.str();
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "fullstack") != 0 && std::strcmp(argv[1], "preamp") != 0)) {
        std::fprintf(stderr, "usage: %s fullstack|preamp <bundle folder>\n", argv[0]);
        return 2;
    }
    const Description& d = std::strcmp(argv[1], "fullstack") == 0 ? tavik_lv2::fullStackDescription()
                                                                  : tavik_lv2::preampDescription();
    const std::string dir = argv[2];
    try {
        const std::vector<Preset> presets = presetsFor(d);
        const bool ok = write(dir + "/manifest.ttl", manifestTurtle(d, presets)) &&
                        write(dir + "/" + d.bundle + ".ttl", pluginTurtle(d)) &&
                        write(dir + "/presets.ttl", presetsTurtle(d, presets));
        if (!ok) {
            std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
