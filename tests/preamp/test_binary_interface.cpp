// The preamp-only plug-in loaded with dlopen and driven through its dispatcher, as a host does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "support/plugin_library.h"

using namespace testing_support;

namespace {

const PluginLibrary& library()
{
    static PluginLibrary lib(TAVIK_PREAMP_PATH);
    return lib;
}

TEST(PreampAbi, OnlyTheEntryPointsAreExported)
{
    ASSERT_TRUE(library().loaded());
    EXPECT_EQ(library().symbol("main"), library().symbol("VSTPluginMain"));
    for (const char* internal : {"_ZN4vst20createEffectInstanceEPFlPNS_7AEffectEiilPvfE", "_ZN12tavik_preamp5TavikD0Ev",
                                 "_ZN3amp17softLimitPositiveEdd", "_ZN3vst11formatValueEfPci"})
        EXPECT_EQ(library().symbol(internal), nullptr) << internal;

    // The dynamic symbol table itself, where binutils are at hand.
    FILE* nm = popen("nm -D --defined-only " TAVIK_PREAMP_PATH " 2>/dev/null", "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof(line), nm)) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) names.insert(name);
    }
    if (pclose(nm) != 0 && names.empty()) GTEST_SKIP() << "nm is not available";
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(PreampAbi, RefusesAHostWithoutVersion)
{
    hostLog().version = 0;
    EXPECT_EQ(library().create(), nullptr);
    hostLog().version = 2400;
    auto entry = reinterpret_cast<vst::PluginEntryProc>(library().symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST(PreampAbi, IdentityAndDispatcherAnswers)
{
    Instance p(library());
    ASSERT_NE(p.e, nullptr);
    EXPECT_EQ(p.e->magic, vst::kEffectMagic);
    EXPECT_EQ(p.e->numPrograms, 10);
    EXPECT_EQ(p.e->numParams, 14);
    EXPECT_EQ(p.e->numInputs, 2);
    EXPECT_EQ(p.e->numOutputs, 2);
    EXPECT_TRUE(p.e->flags & vst::effFlagsCanReplacing);
    EXPECT_TRUE(p.e->flags & vst::effFlagsProgramChunks);
    EXPECT_FALSE(p.e->flags & (vst::effFlagsIsSynth | vst::effFlagsCanDoubleReplacing));
    EXPECT_EQ(p.e->uniqueID, ('T' << 24) | ('V' << 16) | ('K' << 8) | 'P');
    EXPECT_EQ(p.text(vst::effGetEffectName, 0), "Tavik_PreAmp_v2");
    EXPECT_EQ(p.text(vst::effGetProductString, 0), "Tavik_PreAmp_v2");
    EXPECT_EQ(p.text(vst::effGetVendorString, 0), "Mirad Plugins");
    EXPECT_EQ(p.call(vst::effGetVendorVersion), 2000);
    EXPECT_EQ(p.call(vst::effGetVstVersion), 2400);
    char midi[] = "receiveVstMidiEvent";
    EXPECT_EQ(p.call(vst::effCanDo, 0, 0, midi), 0);
    for (int32_t i = 0; i < 14; ++i) EXPECT_EQ(p.call(vst::effCanBeAutomated, i), 1) << i;
}

TEST(PreampAbi, ParameterTexts)
{
    Instance p(library());
    const char* names[14] = {"Input", "Channel", "Clean/Crunch", "Overdrive Boost", "Bright/Normal", "Drive1",
                             "Drive2", "Low", "Mid", "High", "Contour", "Volume", "Mono/Stereo", "LowQ/HighQ"};
    const char* displays[14] = {"0.500000", "0.000000", "0.000000", "0.000000", "0.000000", "0.500000", "0.500000",
                                "0.500000", "0.500000", "0.500000", "0.500000", "-6.02059", "0.000000", "0.000000"};
    for (int32_t i = 0; i < 14; ++i) {
        EXPECT_EQ(p.text(vst::effGetParamName, i, "-"), names[i]) << i;
        EXPECT_EQ(p.text(vst::effGetParamDisplay, i, "-"), displays[i]) << i;
        EXPECT_EQ(p.text(vst::effGetParamLabel, i, "-"), i == 11 ? "dB" : "-") << i;
    }
    for (int32_t i : {-1, 14, 1000}) {
        EXPECT_EQ(p.text(vst::effGetParamName, i, "keep"), "keep") << i;
        EXPECT_EQ(p.text(vst::effGetParamDisplay, i, "keep"), "keep") << i;
        EXPECT_EQ(p.text(vst::effGetParamLabel, i, "keep"), "keep") << i;
        EXPECT_EQ(p.get(i), 0.0f) << i;
    }
    p.set(11, 0.0f);
    EXPECT_EQ(p.text(vst::effGetParamDisplay, 11), "-oo");
    p.set(5, 0.9f);
    EXPECT_EQ(p.get(5), 0.5f) << "Drive1 rests at 0.5 outside Crunch";
}

TEST(PreampAbi, ProgramsAndChunks)
{
    Instance p(library());
    char name[64];
    for (int32_t i = 0; i < 10; ++i) {
        std::strcpy(name, "x");
        EXPECT_EQ(p.call(vst::effGetProgramNameIndexed, i, 0, name), 1);
        EXPECT_STREQ(name, "Init");
    }
    char longName[] = "A name of thirty characters!!!";
    p.call(vst::effSetProgramName, 0, 0, longName);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), std::string(longName, 23));

    void* data = nullptr;
    ASSERT_EQ(p.call(vst::effGetChunk, 0, 0, &data), 3040);
    EXPECT_EQ(std::string(static_cast<const char*>(data)), std::string(longName, 23));
    std::vector<unsigned char> bank(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 3040);
    float stored;
    std::memcpy(&stored, bank.data() + 24 + 11 * 4, 4);
    EXPECT_EQ(stored, 0.5f) << "Volume's stored value at offset 68";
    double memory;
    std::memcpy(&memory, bank.data() + 80 + 8, 8);
    EXPECT_EQ(memory, 0.5) << "Clean's remembered Drive1";
    void* one = nullptr;
    EXPECT_EQ(p.call(vst::effGetChunk, 1, 0, &one), 304);

    std::memcpy(bank.data(), "Renamed", 8);
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 3039, bank.data()), 0);
    EXPECT_EQ(p.call(vst::effSetChunk, 1, 303, bank.data()), 0);
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 3040, nullptr), 0);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), std::string(longName, 23)) << "a refused chunk changes nothing";
    EXPECT_EQ(p.call(vst::effSetChunk, 0, 3040, bank.data()), 1);
    EXPECT_EQ(p.text(vst::effGetProgramName, 0), "Renamed");
}

TEST(PreampAbi, ProcessesMonoAndStereoAtTheHostsRate)
{
    hostLog().sampleRateAnswer = 48000;
    Instance p(library());
    hostLog().sampleRateAnswer = 0;
    p.call(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    p.call(vst::effSetBlockSize, 0, 333);
    p.call(vst::effMainsChanged, 0, 1);
    std::vector<float> in(9600);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(0.3 * std::sin(0.02 * static_cast<double>(i)));

    auto mono = p.process(in, 333);
    EXPECT_EQ(mono[0], mono[1]);
    double level = 0;
    for (float v : mono[0]) {
        ASSERT_TRUE(std::isfinite(v));
        level += static_cast<double>(v) * v;
    }
    EXPECT_GT(level, 1e-3);

    p.set(12, 1.0f);
    p.set(1, 1.0f);
    auto stereo = p.process(in, 333);
    EXPECT_NE(stereo[0], mono[0]) << "the Overdrive channel sounds different";
    for (std::size_t i = 0; i < in.size(); i += 101) ASSERT_TRUE(std::isfinite(stereo[1][i])) << i;
    p.call(vst::effMainsChanged, 0, 0);
}

TEST(PreampAbi, LoadingAndUnloadingLosesNoMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizer builds link the C++ runtime dynamically and replace the allocator";
#else
    const long growth = heapGrowthOverLoads(TAVIK_PREAMP_PATH, 20);
    if (growth < 0) GTEST_SKIP() << "the library is already loaded in this process";
    EXPECT_LT(growth, 20 * 1024) << "bytes lost over 20 loads and unloads";
#endif
}

}  // namespace
