// The full-stack plug-in loaded with dlopen and driven through its dispatcher, as a host does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "shell/program_record.h"
#include "support/plugin_library.h"

using namespace testing_support;

namespace {

const PluginLibrary& library() {
    static PluginLibrary lib(TAVIK_FULLSTACK_PATH);
    return lib;
}

TEST(FullStackAbi, EntryPointsAndRefusals) {
    ASSERT_TRUE(library().loaded());
    EXPECT_EQ(library().symbol("main"), library().symbol("VSTPluginMain"));
    hostLog().version = 0;
    EXPECT_EQ(library().create(), nullptr) << "a host answering version 0 gets no effect";
    hostLog().version = 2400;
    auto entry = reinterpret_cast<vst::PluginEntryProc>(library().symbol("VSTPluginMain"));
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST(FullStackAbi, IdentityAndRecord) {
    Instance p(library());
    ASSERT_NE(p.e, nullptr);
    EXPECT_EQ(p.e->magic, vst::kEffectMagic);
    EXPECT_EQ(p.e->numPrograms, 10);
    EXPECT_EQ(p.e->numParams, 34);
    EXPECT_EQ(p.e->numInputs, 2);
    EXPECT_EQ(p.e->numOutputs, 2);
    EXPECT_TRUE(p.e->flags & vst::effFlagsCanReplacing);
    EXPECT_TRUE(p.e->flags & vst::effFlagsProgramChunks);
    EXPECT_FALSE(p.e->flags & (vst::effFlagsIsSynth | vst::effFlagsCanDoubleReplacing));
    EXPECT_EQ(p.e->uniqueID, ('T' << 24) | ('V' << 16) | ('K' << 8) | 'S');
    EXPECT_EQ(p.e->version, 1);
    EXPECT_EQ(p.e->initialDelay, 201);  // one convolution block and the delay line's sample, at 44.1 kHz
    EXPECT_EQ(p.e->ioRatio, 1.0f);
}

TEST(FullStackAbi, DispatcherAnswers) {
    Instance p(library());
    EXPECT_EQ(p.text(vst::effGetEffectName, 0), "Tavik_FullStack_v1_04");
    EXPECT_EQ(p.text(vst::effGetProductString, 0), "Tavik_FullStack_v1_04");
    EXPECT_EQ(p.text(vst::effGetVendorString, 0), "Mirad Plugins");
    EXPECT_EQ(p.call(vst::effGetVendorVersion), 1040);
    EXPECT_EQ(p.call(vst::effGetVstVersion), 2400);
    EXPECT_EQ(p.call(vst::effGetPlugCategory), vst::kPlugCategUnknown);
    char midi[] = "receiveVstMidiEvent";
    EXPECT_EQ(p.call(vst::effCanDo, 0, 0, midi), 0);
    char other[] = "bypass";
    EXPECT_EQ(p.call(vst::effCanDo, 0, 0, other), 0);
    EXPECT_EQ(p.call(vst::effGetCurrentMidiProgram), -1);
    EXPECT_EQ(p.call(vst::effSetTotalSampleToProcess, 0, 777), 777);
    for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(p.call(vst::effCanBeAutomated, i), 1) << i;
    void* inArr = &p;
    void* outArr = &p;
    EXPECT_EQ(p.call(vst::effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&inArr), &outArr), 0);
    EXPECT_EQ(inArr, nullptr);
    EXPECT_EQ(outArr, nullptr);
    // The editor arrives later: editor requests answer 0 and change nothing.
    EXPECT_EQ(p.call(vst::effEditOpen), 0);
    EXPECT_EQ(p.call(vst::effMainsChanged, 0, 1), 0);
    p.call(vst::effSetBlockSize, 0, 4096);
    p.call(vst::effMainsChanged, 0, 0);
    for (int32_t op : std::initializer_list<int32_t>{vst::effProcessEvents, vst::effSetBypass, vst::effGetTailSize, vst::effShellGetNextPlugin,
                       vst::effStartProcess, vst::effStopProcess, vst::effSetPanLaw, vst::effBeginLoadBank,
                       vst::effSetProcessPrecision, vst::effGetNumMidiInputChannels, vst::effVendorSpecific, 200})
        EXPECT_EQ(p.call(op), 0) << op;
}

TEST(FullStackAbi, ParameterTexts) {
    Instance p(library());
    const char* names[34] = {"Input", "Channel", "Clean/Crunch", "Overdrive Boost", "Bright/Normal", "Drive1",
                             "Drive2", "Low", "Mid", "High", "Contour", "Power Amp", "Volume", "Mono/Stereo",
                             "LowQ/HighQ", "Phase1", "Phase2", "Volume1", "Volume2", "Pan1", "Pan2", nullptr,
                             nullptr, "Freq HP1", "Freq HP2", "Freq LP1", "Freq LP2", "Bypass cab1",
                             "Bypass cab2", nullptr, nullptr, nullptr, "Int IR1/Ext IR1", "Int IR2/Ext IR2"};
    // Display texts right after construction ("-" where nothing is written).
    const char* displays[34] = {"0.500000", "0.000000", "0.000000", "0.000000", "0.000000", "0.500000",
                                "0.500000", "0.500000", "0.500000", "0.500000", "0.500000", "0.500000",
                                "-6.02059", "-", "0.000000", "0.000000", "0.000000", "0.500000", "0.500000",
                                "0.000000", "1.000000", "-", "-", "-", "-", "-", "-", "-", "-", "-",
                                "0.000000", "0.000000", "-", "-"};
    for (int32_t i = 0; i < 34; ++i) {
        EXPECT_EQ(p.text(vst::effGetParamName, i, "-"), names[i] ? names[i] : "-") << i;
        EXPECT_EQ(p.text(vst::effGetParamDisplay, i, "-"), displays[i]) << i;
        EXPECT_EQ(p.text(vst::effGetParamLabel, i, "-"), i == 12 ? "dB" : "-") << i;
    }
    for (int32_t i : {-1, 34, 1000}) {
        EXPECT_EQ(p.text(vst::effGetParamName, i, "keep"), "keep");
        EXPECT_EQ(p.text(vst::effGetParamDisplay, i, "keep"), "keep");
        EXPECT_EQ(p.text(vst::effGetParamLabel, i, "keep"), "keep");
    }
    p.set(12, 0.0f);
    EXPECT_EQ(p.text(vst::effGetParamDisplay, 12), "-oo");
    p.set(12, 1.0f);
    EXPECT_EQ(p.text(vst::effGetParamDisplay, 12), "0.000000");
}

TEST(FullStackAbi, ValuesWithoutStorageAndOutOfRangeInput) {
    Instance p(library());
    for (int32_t i : {13, 21, 22, 34, -1}) {
        p.set(i, 0.3f);
        EXPECT_EQ(p.get(i), 0.0f) << i;
    }
    p.set(7, std::nanf(""));
    EXPECT_EQ(p.get(7), 0.0f) << "NaN counts as 0";
    p.set(8, 7.5f);
    EXPECT_EQ(p.get(8), 1.0f);
    p.set(9, -3.0f);
    EXPECT_EQ(p.get(9), 0.0f);
    p.set(10, INFINITY);
    EXPECT_EQ(p.get(10), 1.0f);
}

TEST(FullStackAbi, ProgramNames) {
    Instance p(library());
    char name[64];
    for (int32_t i = 0; i < 10; ++i) {
        std::strcpy(name, "x");
        EXPECT_EQ(p.call(vst::effGetProgramNameIndexed, i, 0, name), 1);
        EXPECT_STREQ(name, "Init");
    }
    std::strcpy(name, "keep");
    EXPECT_EQ(p.call(vst::effGetProgramNameIndexed, 10, 0, name), 0);
    EXPECT_STREQ(name, "keep");
    char longName[] = "A name of thirty characters!!";
    p.call(vst::effSetProgramName, 0, 0, longName);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), std::string(longName, 24));
    p.call(vst::effSetProgram, 0, 3);
    EXPECT_EQ(p.call(vst::effGetProgram), 3);
    p.call(vst::effSetProgram, 0, 10);
    p.call(vst::effSetProgram, 0, -1);
    EXPECT_EQ(p.call(vst::effGetProgram), 3) << "indices outside 0..9 are not taken";
}

TEST(FullStackAbi, ChunkSizesAndLayout) {
    Instance p(library());
    void* data = nullptr;
    ASSERT_EQ(p.call(vst::effGetChunk, 0, 0, &data), 1316240);
    const auto* records = static_cast<const tavik::ProgramRecord*>(data);
    EXPECT_STREQ(static_cast<const char*>(data), "Init");
    for (int i = 0; i < 10; ++i) {
        const auto& r = records[i];
        EXPECT_STREQ(r.ir1Name, "Empty");
        EXPECT_STREQ(r.ir2Name, "Empty");
        EXPECT_EQ(r.ir1Length, 1024);
        EXPECT_EQ(r.ir2Length, 1024);
        EXPECT_EQ(r.irRate, 44100.0f);
        // Parameter block: 15..33, then 0..10, 12, 14, 11.
        const float expected[33] = {0, 0, 0.5f, 0.5f, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 0,
                                    0.5f, 0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0.5f};
        for (int s = 0; s < 33; ++s) EXPECT_EQ(r.values[s], expected[s]) << "program " << i << " slot " << s;
        for (int m = 0; m < 31; ++m) {
            bool zero = m == 3 || m == 13 || m == 23 || m == 29;  // Bright entries and Overdrive Boost
            EXPECT_EQ(r.channelMemory[m], zero ? 0.0 : 0.5) << m;
        }
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    float volume1;
    std::memcpy(&volume1, bytes + 131240 + 2 * 4, 4);
    EXPECT_EQ(volume1, 0.5f);

    void* one = nullptr;
    EXPECT_EQ(p.call(vst::effGetChunk, 1, 0, &one), 131624);
    EXPECT_EQ(one, data) << "program 0 is current";
}

TEST(FullStackAbi, SetChunkChecksTheSize) {
    Instance p(library());
    void* data = nullptr;
    p.call(vst::effGetChunk, 0, 0, &data);
    std::vector<unsigned char> bank(static_cast<const unsigned char*>(data),
                                    static_cast<const unsigned char*>(data) + 1316240);
    std::memcpy(bank.data(), "Renamed", 8);
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 1316239, bank.data()), 0);
    EXPECT_EQ(p.call(vst::effSetChunk, 1, 131623, bank.data()), 0);
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 0, bank.data()), 0);
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 1316240, nullptr), 0);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), "Init") << "a refused chunk changes nothing";
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 1316240, bank.data()), 1);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), "Renamed");
}

TEST(FullStackAbi, ProcessAcceptsAnyBlock) {
    Instance p(library());
    p.call(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    p.call(vst::effMainsChanged, 0, 1);
    std::vector<float> buf(100000, 0.25f);
    float* io[2] = {buf.data(), buf.data()};
    p.e->processReplacing(p.e, io, io, 0);
    EXPECT_EQ(buf[0], 0.25f) << "an empty block writes nothing";
    p.e->processReplacing(p.e, io, io, -4);
    EXPECT_EQ(buf[0], 0.25f);
    std::vector<float> left(100000, 0.25f), right(100000, -0.25f);
    float* ins[2] = {left.data(), right.data()};
    p.e->processReplacing(p.e, ins, ins, 100000);  // in place, one very large block
    for (size_t i = 0; i < left.size(); i += 997) {
        ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << i;
    }
}

TEST(FullStackAbi, LoadingAndUnloadingLosesNoMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer builds link the C++ runtime dynamically and replace the allocator";
#else
    const long growth = heapGrowthOverLoads(TAVIK_FULLSTACK_PATH, 20);
    if (growth < 0) GTEST_SKIP() << "the library is already loaded in this process";
    EXPECT_LT(growth, 20 * 1024) << "bytes lost over 20 loads and unloads";
#endif
}

}  // namespace
