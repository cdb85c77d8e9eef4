// vsthost validate: a host-behaviour torture run. Each check runs in a forked child with a freshly
// loaded plug-in, so a crash or a hang is reported as that check's failure and the run goes on.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/host_error.h"
#include "host/json.h"
#include "host/plugin.h"
#include "host/validate/probe.h"
#include "vst/utf8_cut.h"

namespace vsthost {
namespace {

using namespace validation;

constexpr unsigned kCheckTimeoutSeconds = 120;
constexpr std::size_t kTextRoom = 256;
constexpr std::size_t kTextCanaryEnd = 1024;
constexpr unsigned char kCanaryByte = 0x5a;

const char* const kOpcodeNames[80] = {
    "effOpen", "effClose", "effSetProgram", "effGetProgram", "effSetProgramName", "effGetProgramName",
    "effGetParamLabel", "effGetParamDisplay", "effGetParamName", "effGetVu", "effSetSampleRate", "effSetBlockSize",
    "effMainsChanged", "effEditGetRect", "effEditOpen", "effEditClose", "effEditDraw", "effEditMouse", "effEditKey",
    "effEditIdle", "effEditTop", "effEditSleep", "effIdentify", "effGetChunk", "effSetChunk", "effProcessEvents",
    "effCanBeAutomated", "effString2Parameter", "effGetNumProgramCategories", "effGetProgramNameIndexed",
    "effCopyProgram", "effConnectInput", "effConnectOutput", "effGetInputProperties", "effGetOutputProperties",
    "effGetPlugCategory", "effGetCurrentPosition", "effGetDestinationBuffer", "effOfflineNotify",
    "effOfflinePrepare", "effOfflineRun", "effProcessVarIo", "effSetSpeakerArrangement",
    "effSetBlockSizeAndSampleRate", "effSetBypass", "effGetEffectName", "effGetErrorText", "effGetVendorString",
    "effGetProductString", "effGetVendorVersion", "effVendorSpecific", "effCanDo", "effGetTailSize", "effIdle",
    "effGetIcon", "effSetViewPosition", "effGetParameterProperties", "effKeysRequired", "effGetVstVersion",
    "effEditKeyDown", "effEditKeyUp", "effSetEditKnobMode", "effGetMidiProgramName", "effGetCurrentMidiProgram",
    "effGetMidiProgramCategory", "effHasMidiProgramsChanged", "effGetMidiKeyName", "effBeginSetProgram",
    "effEndSetProgram", "effGetSpeakerArrangement", "effShellGetNextPlugin", "effStartProcess", "effStopProcess",
    "effSetTotalSampleToProcess", "effSetPanLaw", "effBeginLoadBank", "effBeginLoadProgram",
    "effSetProcessPrecision", "effGetNumMidiInputChannels", "effGetNumMidiOutputChannels",
};

// Public layouts of the structures some opcodes take, as far as they are filled here.
struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    void* events[2];
};
struct VstVariableIo {
    float** inputs;
    float** outputs;
    int32_t numSamplesInput;
    int32_t numSamplesOutput;
    int32_t* numSamplesInputProcessed;
    int32_t* numSamplesOutputProcessed;
};
struct VstPatchChunkInfo {
    int32_t version;
    int32_t pluginUniqueID;
    int32_t pluginVersion;
    int32_t numElements;
    char future[48];
};
constexpr std::size_t kSpeakerPropertiesSize = 112;  // azimuth, elevation, radius, reserved, name[64], type, future
constexpr std::size_t kSpeakerTypeOffset = 80;
constexpr std::size_t kSpeakerArrangementSize = 8 + 8 * kSpeakerPropertiesSize;

std::string opcodeName(int32_t op) { return op >= 0 && op < 80 ? kOpcodeNames[op] : "opcode " + std::to_string(op); }

// A text opcode into a buffer with room for 255 characters and a canary beyond; returns the text.
std::string textCall(Probe& probe, Plugin& plugin, int32_t op, int32_t index, intptr_t value = 0) {
    std::array<unsigned char, kTextCanaryEnd> buffer{};
    std::fill(buffer.begin() + kTextRoom, buffer.end(), kCanaryByte);
    plugin.dispatch(op, index, value, buffer.data());
    const std::string what = opcodeName(op) + "(" + std::to_string(index) + ")";
    for (std::size_t i = kTextRoom; i < buffer.size(); ++i)
        if (buffer[i] != kCanaryByte) {
            probe.fail(what + " wrote past " + std::to_string(kTextRoom) + " bytes of the host's buffer");
            break;
        }
    const auto* text = reinterpret_cast<const char*>(buffer.data());
    const std::size_t length = strnlen(text, kTextRoom);
    if (length == kTextRoom) probe.fail(what + " left its text unterminated");
    return std::string(text, length);
}

// ---- the checks ----

void checkLoad(Probe& probe) {
    const int loads = 1 + probe.level();
    std::string identity;
    for (int i = 0; i < loads; ++i) {
        HostContext host;
        auto plugin = probe.load(host);
        const vst::AEffect& e = plugin->effect();
        if (e.numInputs < 0 || e.numInputs > 256 || e.numOutputs < 0 || e.numOutputs > 256)
            probe.fail("implausible channel counts " + std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out");
        if (e.numParams < 0 || e.numPrograms < 0) probe.fail("negative parameter or program count");
        if (i == 0)
            identity = "'" + plugin->effectName() + "' by '" + plugin->vendor() + "', " + fourCharText(e.uniqueID) + ", " +
                       std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out, " +
                       std::to_string(e.numParams) + " parameters, " + std::to_string(e.numPrograms) + " programs";
        probe.step("closing the plug-in (load " + std::to_string(i + 1) + ")");
    }
    probe.pass(identity + "; loaded and closed " + std::to_string(loads) + " times");
}

void callOpcode(Probe& probe, Plugin& plugin, int32_t op) {
    const bool hasParams = plugin.numParams() > 0;
    std::array<unsigned char, 4096> scratch{};
    switch (op) {
    case vst::effClose:
    case vst::effEditOpen:
        return;  // effClose ends every child; effEditOpen needs a window
    case vst::effSetProgram:
        plugin.dispatch(op, 0, plugin.program());
        return;
    case vst::effSetProgramName: {
        std::string name = textCall(probe, plugin, vst::effGetProgramName, 0);
        name.resize(std::min<std::size_t>(name.size(), vst::kVstMaxProgNameLen));
        char buffer[64] = {};
        std::memcpy(buffer, name.data(), name.size());
        plugin.dispatch(op, 0, 0, buffer);
        return;
    }
    case vst::effGetProgramName:
    case vst::effGetEffectName:
    case vst::effGetErrorText:
    case vst::effGetVendorString:
    case vst::effGetProductString:
    case vst::effShellGetNextPlugin:
        textCall(probe, plugin, op, 0);
        return;
    case vst::effGetParamLabel:
    case vst::effGetParamDisplay:
    case vst::effGetParamName:
    case vst::effGetProgramNameIndexed:
        if (op != vst::effGetProgramNameIndexed && !hasParams) return;
        textCall(probe, plugin, op, 0);
        return;
    case vst::effSetSampleRate:
        plugin.dispatch(op, 0, 0, nullptr, 44100.0f);
        return;
    case vst::effSetBlockSize:
        plugin.dispatch(op, 0, 512);
        return;
    case vst::effMainsChanged:
        plugin.dispatch(op, 0, 1);
        plugin.dispatch(op, 0, 0);
        return;
    case vst::effEditGetRect: {
        vst::ERect* rect = nullptr;
        plugin.dispatch(op, 0, 0, &rect);
        return;
    }
    case vst::effEditDraw: {
        vst::ERect rect{0, 0, 100, 100};
        plugin.dispatch(op, 0, 0, &rect);
        return;
    }
    case vst::effGetChunk:
    case vst::effSetChunk: {
        if (op == vst::effGetChunk) {
            void* data = nullptr;
            plugin.dispatch(op, 0, 0, &data);
        } else if (auto chunk = plugin.chunk(false); !chunk.empty()) {
            plugin.setChunk(chunk, false);
        }
        return;
    }
    case vst::effProcessEvents: {
        VstEvents events{};
        plugin.dispatch(op, 0, 0, &events);
        return;
    }
    case vst::effCanBeAutomated:
        if (hasParams) plugin.dispatch(op, 0);
        return;
    case vst::effString2Parameter:
        if (hasParams) {
            std::string display = plugin.paramDisplay(0);
            plugin.dispatch(op, 0, 0, display.data());
        }
        return;
    case vst::effCopyProgram:
        plugin.dispatch(op, plugin.program());
        return;
    case vst::effConnectInput:
    case vst::effConnectOutput:
        plugin.dispatch(op, 0, 1);
        return;
    case vst::effGetInputProperties:
    case vst::effGetOutputProperties:
    case vst::effGetParameterProperties:
    case vst::effGetMidiProgramName:
    case vst::effGetCurrentMidiProgram:
    case vst::effGetMidiProgramCategory:
    case vst::effOfflineNotify:
    case vst::effOfflinePrepare:
    case vst::effOfflineRun:
        if (op == vst::effGetParameterProperties && !hasParams) return;
        plugin.dispatch(op, 0, 0, scratch.data());
        return;
    case vst::effGetMidiKeyName: {
        const int32_t key = 60;  // thisProgramIndex 0, thisKeyNumber 60
        std::memcpy(scratch.data() + 4, &key, sizeof key);
        plugin.dispatch(op, 0, 0, scratch.data());
        return;
    }
    case vst::effProcessVarIo: {
        float silence[1] = {0.0f};
        float* channels[1] = {silence};
        int32_t inDone = 0, outDone = 0;
        VstVariableIo io{channels, channels, 0, 0, &inDone, &outDone};
        plugin.dispatch(op, 0, 0, &io);
        return;
    }
    case vst::effSetSpeakerArrangement: {
        auto arrangement = [](int32_t channels, unsigned char* at) {
            const int32_t n = std::clamp(channels, 0, 8);
            const int32_t type = n == 1 ? 0 : n == 2 ? 1 : -2;  // mono, stereo, user-defined
            std::memcpy(at, &type, 4);
            std::memcpy(at + 4, &n, 4);
            for (int32_t s = 0; s < n; ++s) {
                const int32_t speaker = s + 1;
                std::memcpy(at + 8 + static_cast<std::size_t>(s) * kSpeakerPropertiesSize + kSpeakerTypeOffset, &speaker, 4);
            }
        };
        std::array<unsigned char, kSpeakerArrangementSize> in{}, out{};
        arrangement(plugin.numInputs(), in.data());
        arrangement(plugin.numOutputs(), out.data());
        plugin.dispatch(op, 0, reinterpret_cast<intptr_t>(in.data()), out.data());
        return;
    }
    case vst::effGetSpeakerArrangement: {
        void* in = nullptr;
        void* out = nullptr;
        plugin.dispatch(op, 0, reinterpret_cast<intptr_t>(&in), &out);
        return;
    }
    case vst::effSetBlockSizeAndSampleRate:
        plugin.dispatch(op, 0, 512, nullptr, 44100.0f);
        return;
    case vst::effSetBypass:
        plugin.dispatch(op, 0, 1);
        plugin.dispatch(op, 0, 0);
        return;
    case vst::effCanDo:
        for (const char* what : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstMidiEvent", "receiveVstTimeInfo",
                                 "offline", "bypass", "midiProgramNames", ""}) {
            std::string text = what;
            plugin.dispatch(op, 0, 0, text.data());
        }
        return;
    case vst::effEditKeyDown:
    case vst::effEditKeyUp:
        plugin.dispatch(op, 'a', 0);
        return;
    case vst::effSetEditKnobMode:
        plugin.dispatch(op, 0, 2);
        return;
    case vst::effSetTotalSampleToProcess:
        plugin.dispatch(op, 0, 44100);
        return;
    case vst::effSetPanLaw:
        plugin.dispatch(op, 0, 0, nullptr, 1.0f);
        return;
    case vst::effBeginLoadBank:
    case vst::effBeginLoadProgram: {
        VstPatchChunkInfo info{1, plugin.effect().uniqueID, plugin.effect().version,
                               op == vst::effBeginLoadBank ? plugin.numPrograms() : plugin.numParams(), {}};
        plugin.dispatch(op, 0, 0, &info);
        return;
    }
    default:
        plugin.dispatch(op);  // every remaining opcode takes no arguments worth giving
        return;
    }
}

void checkOpcodes(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    for (int32_t op = 0; op < 80; ++op) {
        probe.step("dispatching " + opcodeName(op));
        callOpcode(probe, *plugin, op);
    }
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    for (int i = 0; i < 3; ++i) rig.run(probe, *plugin, 512);
    probe.pass("opcodes 0..79 dispatched (effEditOpen skipped: it needs a window; effClose closes)");
}

void checkParameterTexts(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const int32_t n = plugin->numParams();
    std::vector<float> values = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < probe.level(); ++i) values.push_back(probe.random().unit());
    int32_t longNames = 0;
    for (int32_t index = 0; index < n; ++index) {
        const float initial = plugin->parameter(index);
        const std::string named = parameterLabel(*plugin, index);
        for (float v : values) {
            const std::string call = "setParameter(" + named + ", " + number(v) + ")";
            probe.step(call + " and its texts");
            probe.setSubject("parameter " + named, call);
            plugin->setParameter(index, v);
            const float got = plugin->parameter(index);
            if (!std::isfinite(got) || got < 0.0f || got > 1.0f)
                probe.fail("getParameter(" + std::to_string(index) + ") answers " + number(got) + " after a value of " +
                           number(v));
            if (textCall(probe, *plugin, vst::effGetParamName, index).size() > vst::kVstMaxParamStrLen && v == 0.0f)
                ++longNames;
            textCall(probe, *plugin, vst::effGetParamLabel, index);
            textCall(probe, *plugin, vst::effGetParamDisplay, index);
        }
        plugin->setParameter(index, initial);
    }
    probe.setSubject({}, {});
    if (probe.breaksContract())
        for (int32_t index : {-1, n, n + 1000}) {
            probe.step("texts and values of parameter index " + std::to_string(index) + ", out of range");
            textCall(probe, *plugin, vst::effGetParamName, index);
            textCall(probe, *plugin, vst::effGetParamLabel, index);
            textCall(probe, *plugin, vst::effGetParamDisplay, index);
            plugin->setParameter(index, 0.5f);
            (void)plugin->parameter(index);
        }
    if (longNames > 0)
        probe.note(std::to_string(longNames) + " names longer than the interface's " +
                   std::to_string(vst::kVstMaxParamStrLen) + " characters");
    probe.pass(std::to_string(n) + " parameters, names, labels and displays at " + std::to_string(values.size()) + " values");
}

void checkParameterSweep(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    const int32_t n = plugin->numParams();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {0.0f, 1.0f, 0.5f, -1.0f, 2.0f, -0.0f, 1e-40f, 1e30f, -1e30f,
                                 std::numeric_limits<float>::quiet_NaN(), inf, -inf};
    for (int i = 0; i < probe.level(); ++i) values.push_back(probe.random().unit());
    for (int32_t index = 0; index < n; ++index) {
        const float initial = plugin->parameter(index);
        const std::string named = parameterLabel(*plugin, index);
        for (float v : values) {
            const std::string call = "setParameter(" + named + ", " + number(v) + ")";
            probe.step(call);
            probe.setSubject("parameter " + named, call);
            plugin->setParameter(index, v);
            rig.run(probe, *plugin, 64);
        }
        plugin->setParameter(index, initial);
        rig.run(probe, *plugin, 64);
    }
    const int rounds = 2 * probe.level();
    for (int r = 0; r < rounds; ++r) {
        const std::string round = "all parameters at random values, round " + std::to_string(r);
        probe.step(round);
        probe.setSubject("all parameters at random values", "round " + std::to_string(r));
        for (int32_t index = 0; index < n; ++index) plugin->setParameter(index, probe.random().unit());
        for (int b = 0; b < 4; ++b) rig.run(probe, *plugin, 256);
    }
    probe.setSubject({}, {});
    probe.pass(std::to_string(n) + " parameters swept through " + std::to_string(values.size()) +
               " values (outside 0..1, NaN, infinities), " + std::to_string(rounds) + " random settings");
}

void checkBlocks(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    std::vector<int32_t> sizes = {0, 1, 7, 4096, 100000};
    for (int32_t size : sizes) {
        restart(*plugin, 44100.0, std::max(size, 1));
        rig.run(probe, *plugin, size);
        rig.run(probe, *plugin, size);
    }
    restart(*plugin, 44100.0, 4096);
    for (int i = 0; i < 2 * probe.level(); ++i) rig.run(probe, *plugin, 1 + probe.random().below(4096));
    std::string summary = "blocks of 0, 1, 7, 4096 and 100000 frames, and " + std::to_string(2 * probe.level()) +
                          " odd sizes below a declared 4096";
    if (probe.breaksContract()) {
        restart(*plugin, 44100.0, 512);
        rig.run(probe, *plugin, 100000);
        probe.step("processing -1 frames");
        rig.run(probe, *plugin, -1);
        plugin->suspend();
        rig.run(probe, *plugin, 512);  // after suspend, before any resume
        summary += "; 100000 frames after declaring 512, -1 frames, processing while suspended";
    }
    probe.pass(summary);
}

// A third instance with separate buffers tells an in-place fault from a plug-in that is simply not
// deterministic (random modulation, say).
void checkInPlace(Probe& probe) {
    HostContext hostA, hostB, hostC;
    auto separate = probe.load(hostA);
    auto inPlace = probe.load(hostB);
    auto reference = probe.load(hostC);
    if (!inPlace->hasFlag(vst::effFlagsCanReplacing)) {
        probe.pass("skipped: the plug-in does not process replacing");
        return;
    }
    for (Plugin* p : {separate.get(), inPlace.get(), reference.get()}) restart(*p, 44100.0, 512);
    Rig rigA(44100.0), rigB(44100.0), rigC(44100.0);
    double worst = 0.0, spread = 0.0, peak = 0.0;
    const int blocks = 10 * probe.level();
    for (int b = 0; b < blocks; ++b) {
        rigA.run(probe, *separate, 512);
        rigB.run(probe, *inPlace, 512, true);
        rigC.run(probe, *reference, 512);
        worst = std::max(worst, largestDifference(rigA.lastOutput(), rigB.lastOutput(), peak));
        spread = std::max(spread, largestDifference(rigA.lastOutput(), rigC.lastOutput(), peak));
    }
    const double tolerance = 1e-6 * std::max(1.0, peak);
    if (spread > tolerance) {
        probe.pass("not comparable: two identical instances differ by up to " + number(spread) +
                   " (the plug-in is not deterministic); in-place processing ran without faults");
        return;
    }
    if (worst > tolerance)
        probe.fail("in-place output differs from separate buffers by up to " + number(worst));
    probe.pass(std::to_string(blocks) + " blocks in place match separate buffers (largest difference " + number(worst) + ")");
}

void checkSampleRates(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const double rates[] = {44100, 8000, 11025, 16000, 22050, 32000, 48000, 50000, 88200,
                            96000, 176400, 192000, 1, 44100, 192000, 22050, 44100};
    Rig rig(44100.0);
    for (double rate : rates) {
        probe.step("changing the sample rate to " + number(rate));
        restart(*plugin, rate, 512);
        rig.setRate(rate);
        for (int b = 0; b < probe.level(); ++b) rig.run(probe, *plugin, 512);
    }
    probe.pass("sample rates 8000..192000, 1, 50000 and back, " + std::to_string(probe.level()) + " blocks each");
}

void checkPrograms(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const int32_t count = plugin->numPrograms();
    if (count <= 0) {
        probe.pass("the plug-in has no programs");
        return;
    }
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    const int32_t shown = std::min(count, 1000);
    const int rounds = 1 + probe.level() / 3;
    for (int r = 0; r < rounds; ++r)
        for (int32_t i = 0; i < shown; ++i) {
            const int32_t p = r % 2 ? shown - 1 - i : i;
            probe.step("switching to program " + std::to_string(p));
            plugin->setProgram(p);
            if (plugin->program() != p)
                probe.fail("effGetProgram answers " + std::to_string(plugin->program()) + " after switching to " + std::to_string(p));
            textCall(probe, *plugin, vst::effGetProgramName, 0);
            textCall(probe, *plugin, vst::effGetProgramNameIndexed, p);
            rig.run(probe, *plugin, 256);
        }
    std::string summary = std::to_string(shown) + " programs switched " + std::to_string(rounds) + " times with processing";
    if (probe.breaksContract()) {
        for (int32_t p : {-1, count, count + 1000}) {
            probe.step("switching to program " + std::to_string(p) + ", out of range");
            plugin->setProgram(p);
            textCall(probe, *plugin, vst::effGetProgramNameIndexed, p);
            rig.run(probe, *plugin, 256);
        }
        char longName[64] = "a program name longer than twenty-four characters";
        plugin->dispatch(vst::effSetProgramName, 0, 0, longName);
        textCall(probe, *plugin, vst::effGetProgramName, 0);
        summary += "; out-of-range programs and an over-long name";
    }
    probe.pass(summary);
}

void checkChunks(Probe& probe) {
    HostContext host, otherHost;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    if (!plugin->hasFlag(vst::effFlagsProgramChunks)) {
        probe.step("effGetChunk on a plug-in without chunks");
        void* data = nullptr;
        plugin->dispatch(vst::effGetChunk, 0, 0, &data);
        probe.pass("the plug-in keeps its state in parameters (no effFlagsProgramChunks)");
        return;
    }
    auto other = probe.load(otherHost);
    restart(*other, 44100.0, 512);
    int wrongSizeChanges = 0;
    for (bool preset : {false, true}) {
        const std::string kind = preset ? "program chunk" : "bank chunk";
        probe.step("effGetChunk for the " + kind);
        const std::vector<uint8_t> original = plugin->chunk(preset);
        if (original.empty()) {
            probe.fail("no " + kind + " although the plug-in declares effFlagsProgramChunks");
            continue;
        }
        probe.step("effSetChunk with its own " + kind);
        plugin->setChunk(original, preset);
        if (auto diff = firstDifference(original, plugin->chunk(preset)); !diff.empty())
            probe.fail("the " + kind + " does not survive a round trip: " + diff);
        probe.step("effSetChunk of the " + kind + " into a second instance");
        other->setChunk(original, preset);
        if (auto diff = firstDifference(original, other->chunk(preset)); !diff.empty())
            probe.fail("a second instance given the " + kind + " gives back another: " + diff);
        rig.run(probe, *other, 512);

        std::vector<std::pair<std::string, std::vector<uint8_t>>> wrong;
        wrong.emplace_back("one byte short", std::vector<uint8_t>(original.begin(), original.end() - 1));
        auto longer = original;
        longer.push_back(0);
        wrong.emplace_back("one byte long", longer);
        wrong.emplace_back("one byte", std::vector<uint8_t>(1, 0x7f));
        for (const auto& [what, data] : wrong) {
            probe.step("effSetChunk with a " + kind + " " + what);
            plugin->setChunk(data, preset);
            rig.run(probe, *plugin, 512);
            if (!firstDifference(original, plugin->chunk(preset)).empty()) ++wrongSizeChanges;
            plugin->setChunk(original, preset);
        }
        probe.step("effSetChunk with a null, empty " + kind);
        plugin->dispatch(vst::effSetChunk, preset ? 1 : 0, 0, nullptr);
        rig.run(probe, *plugin, 512);
        plugin->setChunk(original, preset);

        if (probe.breaksContract())
            for (int i = 0; i < probe.level(); ++i) {
                std::vector<uint8_t> damaged(original.size());
                for (auto& byte : damaged) byte = static_cast<uint8_t>(probe.random().next() >> 56);
                if (i == 1) std::fill(damaged.begin(), damaged.end(), 0xff);  // NaN in every float and double
                probe.step("effSetChunk with a damaged " + kind + " (" + std::to_string(i) + ")");
                plugin->setChunk(damaged, preset);
                for (int b = 0; b < 4; ++b) rig.run(probe, *plugin, 512);
                plugin->setChunk(original, preset);
            }
    }
    if (wrongSizeChanges > 0)
        probe.note(std::to_string(wrongSizeChanges) + " chunks of the wrong size changed the state");
    probe.pass(std::string("bank and program chunks round-trip, also into a second instance; wrong sizes survived") +
               (probe.breaksContract() ? "; damaged chunks survived" : ""));
}

void checkLifecycle(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    const int cycles = 5 * probe.level();
    for (int i = 0; i < cycles; ++i) {
        probe.step("suspend and resume, cycle " + std::to_string(i));
        plugin->resume();
        rig.run(probe, *plugin, 128);
        plugin->suspend();
    }
    probe.step("resuming twice, suspending twice");
    plugin->resume();
    plugin->resume();
    rig.run(probe, *plugin, 128);
    plugin->suspend();
    plugin->suspend();
    plugin->dispatch(vst::effStartProcess);
    plugin->resume();
    rig.run(probe, *plugin, 128);
    plugin->dispatch(vst::effStopProcess);
    probe.pass(std::to_string(cycles) + " suspend/resume cycles, doubled calls, start/stop process");
}

struct Check {
    const char* name;
    void (*run)(Probe&);
};

constexpr Check kChecks[] = {
    {"load", checkLoad},
    {"opcodes", checkOpcodes},
    {"parameter-texts", checkParameterTexts},
    {"parameter-sweep", checkParameterSweep},
    {"blocks", checkBlocks},
    {"in-place", checkInPlace},
    {"sample-rates", checkSampleRates},
    {"programs", checkPrograms},
    {"chunks", checkChunks},
    {"lifecycle", checkLifecycle},
    {"resend", checkResend},
    {"threads", checkThreads},
    {"silence-cpu", checkSilence},
    {"realtime", checkRealtime},
    {"preset-files", checkPresetFiles},
};

// One check's outcome: passed with a summary, or the failures it found.
struct Result {
    std::string name;
    bool pass = true;
    std::vector<std::string> details;
};

[[noreturn]] void runChild(const Check& check, int fd, const std::string& path, int level) {
    alarm(kCheckTimeoutSeconds);
    Probe probe(fd, path, level);
    try {
        check.run(probe);
        probe.step("closing the plug-in");
    } catch (const std::exception& e) {
        probe.fail(e.what());
    }
    probe.end();
    const int status = probe.failures() > 0 ? 1 : 0;
    close(fd);
    _exit(status);
}

std::string signalName(int sig) {
    const char* abbreviation = sigabbrev_np(sig);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(sig);
}

Result runCheck(const Check& check, const std::string& path, int level, int logFd) {
    int fds[2];
    if (pipe(fds) != 0) throw HostError("validate: cannot create a pipe");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw HostError("validate: cannot fork");
    if (pid == 0) {
        close(fds[0]);
        // Whatever the plug-in prints goes to the log, not into the report.
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        runChild(check, fds[1], path, level);
    }
    close(fds[1]);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    Result result{check.name, true, {}};
    std::string summary, lastStep;
    std::vector<std::string> notes;
    struct Failure {
        std::string what, where;
        long count = 1;
    };
    std::vector<Failure> failures;
    for (std::size_t start = 0; start < received.size();) {
        std::size_t end = received.find('\n', start);
        if (end == std::string::npos) end = received.size();
        const std::string line = received.substr(start, end - start);
        start = end + 1;
        if (line.size() < 2) continue;
        const std::string text = line.substr(2);
        const std::size_t tab = text.find('\t');
        const std::string first = text.substr(0, tab), second = tab == std::string::npos ? "" : text.substr(tab + 1);
        if (line[0] == 'S') lastStep = text;
        if (line[0] == 'P') summary = text;
        if (line[0] == 'F') failures.push_back({first, second});
        if (line[0] == 'R') {
            const std::size_t index = std::strtoul(first.c_str(), nullptr, 10);
            if (index < failures.size()) failures[index].count = std::strtol(second.c_str(), nullptr, 10);
        }
        if (line[0] == 'N') notes.push_back("note: " + text);
    }
    for (const Failure& f : failures) {
        std::string detail = f.what;
        if (f.count > 1) detail += ", " + std::to_string(f.count) + " times" + (f.where.empty() ? "" : ", first");
        if (!f.where.empty()) detail += (f.count > 1 ? " " : ", ") + f.where;
        result.details.push_back(detail);
    }
    const std::string where = lastStep.empty() ? "" : " while " + lastStep;
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        result.details.push_back((sig == SIGALRM ? "timed out after " + std::to_string(kCheckTimeoutSeconds) + " s"
                                                 : "crashed with " + signalName(sig)) + where);
    } else if (result.details.empty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) {
        result.details.push_back("exited with status " + std::to_string(WEXITSTATUS(status)) + where);
    } else if (result.details.empty() && summary.empty()) {
        result.details.push_back("ended without a result" + where);
    }
    result.pass = result.details.empty();
    if (result.pass) result.details.push_back(summary);
    else result.details.insert(result.details.end(), notes.begin(), notes.end());
    return result;
}

void print(FILE* out, const Result& r) {
    for (const std::string& detail : r.details)
        std::fprintf(out, "%s %-16s %s\n", r.pass ? "PASS" : "FAIL", r.name.c_str(), detail.c_str());
    std::fflush(out);
}

// The file that takes the plug-in's own output (fds 1 and 2) while it is validated; removed when the
// plug-in wrote nothing.
class PluginLog {
public:
    PluginLog() {
        path_ = (std::filesystem::temp_directory_path() / "vsthost-validate-XXXXXX.log").string();
        fd_ = mkostemps(path_.data(), 4, O_APPEND | O_CLOEXEC);
        if (fd_ < 0) throw HostError("validate: cannot create a log file in " + path_);
    }
    ~PluginLog() {
        close(fd_);
        if (lines() == 0) unlink(path_.c_str());
    }
    PluginLog(const PluginLog&) = delete;
    PluginLog& operator=(const PluginLog&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // A last line without its newline counts too.
    long lines() const {
        std::ifstream in(path_, std::ios::binary);
        long n = 0;
        char last = '\n';
        for (char c; in.get(c);) {
            n += c == '\n';
            last = c;
        }
        return n + (last != '\n');
    }

    // Runs `f` with this process's fds 1 and 2 on the log, for a library's constructors that print.
    template <typename F>
    void capture(F&& f) {
        std::fflush(nullptr);
        const int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO);
        dup2(fd_, STDOUT_FILENO);
        dup2(fd_, STDERR_FILENO);
        auto restore = [&] {
            std::fflush(nullptr);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            close(out);
            close(err);
        };
        try {
            f();
        } catch (...) {
            restore();
            throw;
        }
        restore();
    }

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace

int runValidate(const Options& options) {
    PluginLog log;
    // Something that is not a plug-in at all fails here with one line; the entry point itself is
    // first called in a child, by the load check.
    log.capture([&] { Plugin::checkLibrary(options.plugin); });
    std::string known;
    for (const Check& check : kChecks) known += std::string(known.empty() ? "" : ", ") + check.name;
    auto chosen = [&](const Check& check) {
        return options.checks.empty() ||
               std::find(options.checks.begin(), options.checks.end(), check.name) != options.checks.end();
    };
    for (const std::string& name : options.checks)
        if (std::none_of(std::begin(kChecks), std::end(kChecks), [&](const Check& c) { return name == c.name; }))
            throw HostError("validate has no check '" + name + "'; it has " + known);
    std::vector<Result> all;
    FILE* out = results();
    for (const Check& check : kChecks) {
        if (!chosen(check)) continue;
        all.push_back(runCheck(check, options.plugin, options.level, log.fd()));
        if (!options.json) print(out, all.back());
        if (&check == &kChecks[0] && !all.back().pass) break;  // nothing else can run without loading
    }
    const auto failed = std::count_if(all.begin(), all.end(), [](const Result& r) { return !r.pass; });
    const auto passed = static_cast<long>(all.size()) - failed;
    const long logLines = log.lines();
    if (options.json) {
        std::fprintf(out, "{\"plugin\": %s, \"level\": %d, \"checks\": [", jsonString(options.plugin).c_str(), options.level);
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::fprintf(out, "%s\n  {\"name\": %s, \"result\": \"%s\", \"details\": [", i ? "," : "",
                         jsonString(all[i].name).c_str(), all[i].pass ? "pass" : "fail");
            for (std::size_t k = 0; k < all[i].details.size(); ++k)
                std::fprintf(out, "%s%s", k ? ", " : "", jsonString(all[i].details[k]).c_str());
            std::fprintf(out, "]}");
        }
        std::fprintf(out, "\n], \"plugin_output_lines\": %ld, \"plugin_log\": %s, \"passed\": %ld, \"failed\": %ld}\n",
                     logLines, logLines > 0 ? jsonString(log.path()).c_str() : "null", passed, static_cast<long>(failed));
    } else {
        if (logLines > 0)
            std::fprintf(out, "validate: the plug-in wrote %s of its own; full log: %s\n",
                         plural(logLines, "line").c_str(), log.path().c_str());
        std::fprintf(out, "validate: %ld passed, %ld failed\n", passed, static_cast<long>(failed));
    }
    std::fflush(out);
    return failed > 0 ? 1 : 0;
}

}  // namespace vsthost
