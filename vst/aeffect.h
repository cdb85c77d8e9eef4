// The VST 2.4 binary interface, written from its published layout: the effect record, the host
// callback, the opcode and flag numbers, and the structures the effects and hosts exchange.
// Layouts are those of the published interface on x86-64 with natural alignment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst {

struct AEffect;

using AudioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt);
using DispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                    void* ptr, float opt);
using ProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using ProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs, int32_t sampleFrames);
using SetParameterProc = void (*)(AEffect* effect, int32_t index, float parameter);
using GetParameterProc = float (*)(AEffect* effect, int32_t index);
using PluginEntryProc = AEffect* (*)(AudioMasterCallback host);

constexpr int32_t fourCC(const char (&s)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(s[3])));
}

constexpr int32_t kEffectMagic = fourCC("VstP");

struct AEffect {
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;  // the old accumulating call
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);

enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum EffectOpcodes : int32_t {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,  // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,  // 35
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,  // 45
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,  // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,  // 58
    effEditKeyDown,
    effEditKeyUp,  // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,  // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,  // 79
};
static_assert(effGetChunk == 23 && effProcessEvents == 25 && effGetPlugCategory == 35);
static_assert(effGetEffectName == 45 && effCanDo == 51 && effGetVstVersion == 58);
static_assert(effGetSpeakerArrangement == 69 && effGetNumMidiOutputChannels == 79);

enum AudioMasterOpcodes : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
};

enum PlugCategory : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Text limits of the interface (without the terminating NUL).
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxEffectNameLen = 32;

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8);

struct VstFileType {
    char name[128];
    char macType[8];
    char dosType[8];
    char unixType[8];
    char mimeType1[128];
    char mimeType2[128];
};
static_assert(sizeof(VstFileType) == 408);

enum VstFileSelectCommand : int32_t {
    kVstFileLoad = 0,
    kVstFileSave,
    kVstMultipleFilesLoad,
    kVstDirectorySelect,
};

enum VstFileSelectType : int32_t {
    kVstFileType = 0,
};

struct VstFileSelect {
    int32_t command;
    int32_t type;
    int32_t macCreator;
    int32_t nbFileTypes;
    VstFileType* fileTypes;
    char title[1024];
    char* initialPath;
    char* returnPath;
    int32_t sizeReturnPath;
    char** returnMultiplePaths;
    int32_t nbReturnPath;
    intptr_t reserved;
    char future[116];
};
static_assert(offsetof(VstFileSelect, title) == 24);
static_assert(offsetof(VstFileSelect, initialPath) == 1048);
static_assert(offsetof(VstFileSelect, returnPath) == 1056);
static_assert(offsetof(VstFileSelect, sizeReturnPath) == 1064);
static_assert(offsetof(VstFileSelect, returnMultiplePaths) == 1072);
static_assert(offsetof(VstFileSelect, reserved) == 1088);
static_assert(sizeof(VstFileSelect) == 1216);

}  // namespace vst
