#include "host/validate/opcode_table.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vsthost::validation {
namespace {

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
constexpr std::size_t kBlockSize = 4096;

void currentProgram(Probe&, Plugin& plugin, int32_t op) { plugin.dispatch(op, 0, plugin.program()); }

void copyCurrentProgram(Probe&, Plugin& plugin, int32_t op) { plugin.dispatch(op, plugin.program()); }

// The program's own name, as read back.
void ownProgramName(Probe& probe, Plugin& plugin, int32_t op) {
    std::string name = textCall(probe, plugin, vst::effGetProgramName, 0);
    name.resize(std::min<std::size_t>(name.size(), vst::kVstMaxProgNameLen));
    char buffer[64] = {};
    std::memcpy(buffer, name.data(), name.size());
    plugin.dispatch(op, 0, 0, buffer);
}

void onThenOff(Probe&, Plugin& plugin, int32_t op) {
    plugin.dispatch(op, 0, 1);
    plugin.dispatch(op, 0, 0);
}

void editorRect(Probe&, Plugin& plugin, int32_t op) {
    vst::ERect* rect = nullptr;
    plugin.dispatch(op, 0, 0, &rect);
}

void drawRect(Probe&, Plugin& plugin, int32_t op) {
    vst::ERect rect{0, 0, 100, 100};
    plugin.dispatch(op, 0, 0, &rect);
}

void chunkPointer(Probe&, Plugin& plugin, int32_t op) {
    void* data = nullptr;
    plugin.dispatch(op, 0, 0, &data);
}

void ownBankChunk(Probe&, Plugin& plugin, int32_t) {
    if (auto chunk = plugin.chunk(false); !chunk.empty()) plugin.setChunk(chunk, false);
}

void noEvents(Probe&, Plugin& plugin, int32_t op) {
    VstEvents events{};
    plugin.dispatch(op, 0, 0, &events);
}

void ownDisplay(Probe&, Plugin& plugin, int32_t op) {
    std::string display = plugin.paramDisplay(0);
    plugin.dispatch(op, 0, 0, display.data());
}

void middleC(Probe&, Plugin& plugin, int32_t op) {
    std::array<unsigned char, kBlockSize> block{};
    const int32_t key = 60;  // thisProgramIndex 0, thisKeyNumber 60
    std::memcpy(block.data() + 4, &key, sizeof key);
    plugin.dispatch(op, 0, 0, block.data());
}

void emptyVariableIo(Probe&, Plugin& plugin, int32_t op) {
    float silence[1] = {0.0f};
    float* channels[1] = {silence};
    int32_t inDone = 0, outDone = 0;
    VstVariableIo io{channels, channels, 0, 0, &inDone, &outDone};
    plugin.dispatch(op, 0, 0, &io);
}

// Mono, stereo or user-defined arrangements of the plug-in's own channel counts.
void ownArrangements(Probe&, Plugin& plugin, int32_t op) {
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
}

void arrangementPointers(Probe&, Plugin& plugin, int32_t op) {
    void* in = nullptr;
    void* out = nullptr;
    plugin.dispatch(op, 0, reinterpret_cast<intptr_t>(&in), &out);
}

void commonCanDos(Probe&, Plugin& plugin, int32_t op) {
    for (const char* what : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstMidiEvent", "receiveVstTimeInfo",
                             "offline", "bypass", "midiProgramNames", ""}) {
        std::string text = what;
        plugin.dispatch(op, 0, 0, text.data());
    }
}

// A bank announces its programs, a program its parameters.
void ownPatchInfo(Probe&, Plugin& plugin, int32_t op) {
    VstPatchChunkInfo info{1, plugin.effect().uniqueID, plugin.effect().version,
                           op == vst::effBeginLoadBank ? plugin.numPrograms() : plugin.numParams(), {}};
    plugin.dispatch(op, 0, 0, &info);
}

using enum Answer;
using namespace vst;

constexpr OpcodeRow kTable[] = {
    {.op = effOpen, .name = "effOpen"},
    {.op = effClose, .name = "effClose", .answer = notSent},  // it ends every child
    {.op = effSetProgram, .name = "effSetProgram", .send = currentProgram},
    {.op = effGetProgram, .name = "effGetProgram"},
    {.op = effSetProgramName, .name = "effSetProgramName", .send = ownProgramName},
    {.op = effGetProgramName, .name = "effGetProgramName", .answer = text},
    {.op = effGetParamLabel, .name = "effGetParamLabel", .answer = text, .aboutParameter0 = true},
    {.op = effGetParamDisplay, .name = "effGetParamDisplay", .answer = text, .aboutParameter0 = true},
    {.op = effGetParamName, .name = "effGetParamName", .answer = text, .aboutParameter0 = true},
    {.op = effGetVu, .name = "effGetVu"},
    {.op = effSetSampleRate, .name = "effSetSampleRate", .opt = 44100.0f},
    {.op = effSetBlockSize, .name = "effSetBlockSize", .value = 512},
    {.op = effMainsChanged, .name = "effMainsChanged", .send = onThenOff},
    {.op = effEditGetRect, .name = "effEditGetRect", .send = editorRect},
    {.op = effEditOpen, .name = "effEditOpen", .answer = notSent},  // it needs a window
    {.op = effEditClose, .name = "effEditClose"},
    {.op = effEditDraw, .name = "effEditDraw", .send = drawRect},
    {.op = effEditMouse, .name = "effEditMouse"},
    {.op = effEditKey, .name = "effEditKey"},
    {.op = effEditIdle, .name = "effEditIdle"},
    {.op = effEditTop, .name = "effEditTop"},
    {.op = effEditSleep, .name = "effEditSleep"},
    {.op = effIdentify, .name = "effIdentify"},
    {.op = effGetChunk, .name = "effGetChunk", .send = chunkPointer},
    {.op = effSetChunk, .name = "effSetChunk", .send = ownBankChunk},
    {.op = effProcessEvents, .name = "effProcessEvents", .send = noEvents},
    {.op = effCanBeAutomated, .name = "effCanBeAutomated", .aboutParameter0 = true},
    {.op = effString2Parameter, .name = "effString2Parameter", .aboutParameter0 = true, .send = ownDisplay},
    {.op = effGetNumProgramCategories, .name = "effGetNumProgramCategories"},
    {.op = effGetProgramNameIndexed, .name = "effGetProgramNameIndexed", .answer = text},
    {.op = effCopyProgram, .name = "effCopyProgram", .send = copyCurrentProgram},
    {.op = effConnectInput, .name = "effConnectInput", .value = 1},
    {.op = effConnectOutput, .name = "effConnectOutput", .value = 1},
    {.op = effGetInputProperties, .name = "effGetInputProperties", .answer = block},
    {.op = effGetOutputProperties, .name = "effGetOutputProperties", .answer = block},
    {.op = effGetPlugCategory, .name = "effGetPlugCategory"},
    {.op = effGetCurrentPosition, .name = "effGetCurrentPosition"},
    {.op = effGetDestinationBuffer, .name = "effGetDestinationBuffer"},
    {.op = effOfflineNotify, .name = "effOfflineNotify", .answer = block},
    {.op = effOfflinePrepare, .name = "effOfflinePrepare", .answer = block},
    {.op = effOfflineRun, .name = "effOfflineRun", .answer = block},
    {.op = effProcessVarIo, .name = "effProcessVarIo", .send = emptyVariableIo},
    {.op = effSetSpeakerArrangement, .name = "effSetSpeakerArrangement", .send = ownArrangements},
    {.op = effSetBlockSizeAndSampleRate, .name = "effSetBlockSizeAndSampleRate", .value = 512, .opt = 44100.0f},
    {.op = effSetBypass, .name = "effSetBypass", .send = onThenOff},
    {.op = effGetEffectName, .name = "effGetEffectName", .answer = text},
    {.op = effGetErrorText, .name = "effGetErrorText", .answer = text},
    {.op = effGetVendorString, .name = "effGetVendorString", .answer = text},
    {.op = effGetProductString, .name = "effGetProductString", .answer = text},
    {.op = effGetVendorVersion, .name = "effGetVendorVersion"},
    {.op = effVendorSpecific, .name = "effVendorSpecific"},
    {.op = effCanDo, .name = "effCanDo", .send = commonCanDos},
    {.op = effGetTailSize, .name = "effGetTailSize"},
    {.op = effIdle, .name = "effIdle"},
    {.op = effGetIcon, .name = "effGetIcon"},
    {.op = effSetViewPosition, .name = "effSetViewPosition"},
    {.op = effGetParameterProperties, .name = "effGetParameterProperties", .answer = block, .aboutParameter0 = true},
    {.op = effKeysRequired, .name = "effKeysRequired"},
    {.op = effGetVstVersion, .name = "effGetVstVersion"},
    {.op = effEditKeyDown, .name = "effEditKeyDown", .index = 'a'},
    {.op = effEditKeyUp, .name = "effEditKeyUp", .index = 'a'},
    {.op = effSetEditKnobMode, .name = "effSetEditKnobMode", .value = 2},
    {.op = effGetMidiProgramName, .name = "effGetMidiProgramName", .answer = block},
    {.op = effGetCurrentMidiProgram, .name = "effGetCurrentMidiProgram", .answer = block},
    {.op = effGetMidiProgramCategory, .name = "effGetMidiProgramCategory", .answer = block},
    {.op = effHasMidiProgramsChanged, .name = "effHasMidiProgramsChanged"},
    {.op = effGetMidiKeyName, .name = "effGetMidiKeyName", .send = middleC},
    {.op = effBeginSetProgram, .name = "effBeginSetProgram"},
    {.op = effEndSetProgram, .name = "effEndSetProgram"},
    {.op = effGetSpeakerArrangement, .name = "effGetSpeakerArrangement", .send = arrangementPointers},
    {.op = effShellGetNextPlugin, .name = "effShellGetNextPlugin", .answer = text},
    {.op = effStartProcess, .name = "effStartProcess"},
    {.op = effStopProcess, .name = "effStopProcess"},
    {.op = effSetTotalSampleToProcess, .name = "effSetTotalSampleToProcess", .value = 44100},
    {.op = effSetPanLaw, .name = "effSetPanLaw", .opt = 1.0f},
    {.op = effBeginLoadBank, .name = "effBeginLoadBank", .send = ownPatchInfo},
    {.op = effBeginLoadProgram, .name = "effBeginLoadProgram", .send = ownPatchInfo},
    {.op = effSetProcessPrecision, .name = "effSetProcessPrecision"},
    {.op = effGetNumMidiInputChannels, .name = "effGetNumMidiInputChannels"},
    {.op = effGetNumMidiOutputChannels, .name = "effGetNumMidiOutputChannels"},
};

constexpr bool inOrder() {
    for (std::size_t i = 0; i < std::size(kTable); ++i)
        if (kTable[i].op != static_cast<int32_t>(i)) return false;
    return std::size(kTable) == 80;
}
static_assert(inOrder(), "one row for each opcode 0..79, in order");

}  // namespace

std::span<const OpcodeRow> opcodeTable() { return kTable; }

std::string opcodeName(int32_t op) {
    return op >= 0 && static_cast<std::size_t>(op) < std::size(kTable) ? kTable[op].name : "opcode " + std::to_string(op);
}

void sendRow(Probe& probe, Plugin& plugin, const OpcodeRow& row) {
    if (row.aboutParameter0 && plugin.numParams() <= 0) return;
    if (row.send) {
        row.send(probe, plugin, row.op);
        return;
    }
    switch (row.answer) {
    case Answer::notSent:
        return;
    case Answer::anything:
        plugin.dispatch(row.op, row.index, row.value, nullptr, row.opt);
        return;
    case Answer::text:
        textCall(probe, plugin, row.op, row.index, row.value);
        return;
    case Answer::block: {
        std::array<unsigned char, kBlockSize> block{};
        plugin.dispatch(row.op, row.index, row.value, block.data(), row.opt);
        return;
    }
    }
}

}  // namespace vsthost::validation
