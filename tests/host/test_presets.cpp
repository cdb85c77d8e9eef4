// FXP/FXB files: the byte layout other hosts expect, and malformed files refused without harm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_error.h"
#include "host/presets.h"
#include "vst/aeffect.h"

namespace fx = vsthost::fx;

namespace {

using Bytes = std::vector<uint8_t>;

void be32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}
void tag(Bytes& b, const char (&s)[5]) { be32(b, static_cast<uint32_t>(vst::fourCC(s))); }
void field(Bytes& b, const std::string& s, std::size_t size) {
    b.insert(b.end(), s.begin(), s.end());
    b.insert(b.end(), size - s.size(), 0);
}

fx::File opaqueProgram() {
    fx::File file;
    file.fxID = vst::fourCC("Fake");
    file.fxVersion = 3;
    file.program.name = "Lead";
    file.program.opaque = true;
    file.program.numParams = 34;
    file.program.chunk = {1, 2, 3};
    return file;
}

fx::File paramBank() {
    fx::File file;
    file.isBank = true;
    file.fxID = vst::fourCC("Fake");
    file.fxVersion = 3;
    file.bank.currentProgram = 1;
    for (const char* name : {"One", "Two"}) {
        fx::Program p;
        p.name = name;
        p.params = {1.0f, 0.5f};
        p.numParams = 2;
        file.bank.programs.push_back(p);
    }
    file.bank.numPrograms = 2;
    return file;
}

void expectSame(const fx::File& a, const fx::File& b) {
    EXPECT_EQ(a.isBank, b.isBank);
    EXPECT_EQ(a.fxID, b.fxID);
    EXPECT_EQ(a.fxVersion, b.fxVersion);
    EXPECT_EQ(a.program.name, b.program.name);
    EXPECT_EQ(a.program.chunk, b.program.chunk);
    EXPECT_EQ(a.program.params, b.program.params);
    EXPECT_EQ(a.bank.chunk, b.bank.chunk);
    EXPECT_EQ(a.bank.currentProgram, b.bank.currentProgram);
    ASSERT_EQ(a.bank.programs.size(), b.bank.programs.size());
    for (std::size_t i = 0; i < a.bank.programs.size(); ++i) {
        EXPECT_EQ(a.bank.programs[i].name, b.bank.programs[i].name) << "program " << i;
        EXPECT_EQ(a.bank.programs[i].params, b.bank.programs[i].params) << "program " << i;
    }
}

// The published layouts, built here byte by byte and not through the writer. A program's 56-byte
// header, for plug-in 'Fake' version 3; `byteSize` counts what follows its own field.
Bytes programHeader(const char (&magic)[5], uint32_t byteSize, uint32_t numParams, const std::string& name) {
    Bytes b;
    tag(b, "CcnK");
    be32(b, byteSize);
    tag(b, magic);
    be32(b, 1);  // format version
    tag(b, "Fake");
    be32(b, 3);  // plug-in version
    be32(b, numParams);
    field(b, name, 28);
    return b;
}

// An opaque program: chunk size at byte 56, the chunk after it.
Bytes opaqueProgramBytes(const char (&magic)[5]) {
    Bytes b = programHeader(magic, 56 + 4 + 3 - 8, 34, "Lead");
    be32(b, 3);
    b.insert(b.end(), {1, 2, 3});
    return b;
}

// An opaque bank: 156-byte header, chunk size at byte 156.

Bytes opaqueBankBytes(const char (&magic)[5], const Bytes& chunk) {
    Bytes b;
    tag(b, "CcnK");
    be32(b, static_cast<uint32_t>(156 + 4 + chunk.size() - 8));
    tag(b, magic);
    be32(b, 2);  // version 2: the first word of future[128] is the current program
    tag(b, "Fake");
    be32(b, 3);
    be32(b, 10);
    be32(b, 7);
    b.insert(b.end(), 124, 0);
    be32(b, static_cast<uint32_t>(chunk.size()));
    b.insert(b.end(), chunk.begin(), chunk.end());
    return b;
}

fx::File opaqueBank(const Bytes& chunk) {
    fx::File file;
    file.fxID = vst::fourCC("Fake");
    file.fxVersion = 3;
    file.isBank = true;
    file.bank.opaque = true;
    file.bank.numPrograms = 10;
    file.bank.currentProgram = 7;
    file.bank.chunk = chunk;
    return file;
}

}  // namespace

TEST(Presets, OpaqueFormsCarryThePublishedMagicsAndOffsets) {
    EXPECT_EQ(fx::encode(opaqueProgram()), opaqueProgramBytes("FPCh"));
    EXPECT_EQ(fx::encode(opaqueBank({9, 8})), opaqueBankBytes("FBCh", {9, 8}));
}

TEST(Presets, PublishedAndOldOpaqueFilesLoad) {
    expectSame(fx::decode(opaqueProgramBytes("FPCh")), opaqueProgram());
    expectSame(fx::decode(opaqueBankBytes("FBCh", {9, 8})), opaqueBank({9, 8}));
    // What earlier vsthost versions wrote: 'FxCh' programs, and banks under 'FPCh' with the bank header.
    expectSame(fx::decode(opaqueProgramBytes("FxCh")), opaqueProgram());
    const Bytes big(131624, 0x11);
    expectSame(fx::decode(opaqueBankBytes("FPCh", big)), opaqueBank(big));
    expectSame(fx::decode(opaqueBankBytes("FPCh", {})), opaqueBank({}));
}

TEST(Presets, ParameterListFormsAreBigEndianFloats) {
    const Bytes bank = fx::encode(paramBank());
    ASSERT_EQ(bank.size(), 156u + 2 * (56 + 8));
    Bytes header;
    tag(header, "CcnK");
    be32(header, static_cast<uint32_t>(bank.size() - 8));
    tag(header, "FxBk");
    EXPECT_TRUE(std::equal(header.begin(), header.end(), bank.begin()));
    // The second program starts after the first's 64 bytes and is a complete 'FxCk' program.
    Bytes second = programHeader("FxCk", 56, 2, "Two");
    be32(second, 0x3f800000);  // 1.0f
    be32(second, 0x3f000000);  // 0.5f
    EXPECT_TRUE(std::equal(second.begin(), second.end(), bank.begin() + 156 + 64));
}

TEST(Presets, AnFPChFileThatFitsNeitherLayoutIsRefused) {
    // Read as a program, a cut old bank would be an empty chunk (byte 56 is in its zeroed header).
    Bytes cut = opaqueBankBytes("FPCh", Bytes(300, 0x22));
    cut.resize(cut.size() - 1);
    EXPECT_THROW(fx::decode(cut), vsthost::HostError);
    Bytes longer = opaqueProgramBytes("FPCh");
    longer.push_back(0);
    EXPECT_THROW(fx::decode(longer), vsthost::HostError);
    Bytes oldProgram = opaqueProgramBytes("FxCh");
    oldProgram.push_back(0);  // the other kinds are unambiguous and keep reading what their sizes say
    EXPECT_EQ(fx::decode(oldProgram).program.chunk, (Bytes{1, 2, 3}));
}

TEST(Presets, AVersionOneParameterBankFromAnotherHostLoads) {
    Bytes b;
    tag(b, "CcnK");
    be32(b, 156 + 56 + 4 - 8);
    tag(b, "FxBk");
    be32(b, 1);  // version 1: no current program
    tag(b, "Fake");
    be32(b, 3);
    be32(b, 1);
    b.insert(b.end(), 128, 0);
    const Bytes program = programHeader("FxCk", 56 + 4 - 8, 1, "Solo");
    b.insert(b.end(), program.begin(), program.end());
    be32(b, 0x3e800000);  // 0.25f
    const fx::File file = fx::decode(b);
    ASSERT_TRUE(file.isBank);
    EXPECT_EQ(file.bank.currentProgram, -1);
    ASSERT_EQ(file.bank.programs.size(), 1u);
    EXPECT_EQ(file.bank.programs[0].name, "Solo");
    EXPECT_EQ(file.bank.programs[0].params, std::vector<float>{0.25f});
}

TEST(Presets, EveryFormReadsBackAsWritten) {
    fx::File program = paramBank();
    program.isBank = false;
    program.program = program.bank.programs[0];
    program.bank = {};
    fx::File opaqueBank;
    opaqueBank.fxID = 1;
    opaqueBank.isBank = true;
    opaqueBank.bank.opaque = true;
    opaqueBank.bank.numPrograms = 10;
    opaqueBank.bank.currentProgram = 4;
    opaqueBank.bank.chunk = Bytes(1000, 0xab);
    for (const fx::File& file : {opaqueProgram(), paramBank(), program, opaqueBank}) expectSame(fx::decode(fx::encode(file)), file);
}

TEST(Presets, NamesFillTheirFieldAndAreCutBetweenCharacters) {
    fx::File file = opaqueProgram();
    file.program.name = std::string(40, 'x');
    EXPECT_EQ(fx::decode(fx::encode(file)).program.name, std::string(28, 'x'));
    file.program.name = std::string(28, 'y');  // fills the field: no terminator, nothing lost
    EXPECT_EQ(fx::decode(fx::encode(file)).program.name, file.program.name);
    file.program.name = std::string(26, 'z') + "\u00e9\u00e9";  // the second two-byte character crosses byte 28
    EXPECT_EQ(fx::decode(fx::encode(file)).program.name, std::string(26, 'z') + "\u00e9");
}

TEST(Presets, MalformedFilesAreRefused) {
    const Bytes good = fx::encode(opaqueProgram());
    auto withWord = [&](std::size_t at, uint32_t v) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
        return b;
    };
    Bytes goodBank = fx::encode(paramBank());
    Bytes hugeBank = goodBank;
    hugeBank[24] = 0x7f;  // numPrograms near 2^31
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"header only", Bytes(good.begin(), good.begin() + 8)},
        {"wrong magic", withWord(0, 0x52494646)},
        {"unknown kind", withWord(8, 0x41424344)},
        {"chunk longer than the file", withWord(56, 4)},
        {"chunk size near 4 GiB", withWord(56, 0xfffffffc)},
        {"cut in the name", Bytes(good.begin(), good.begin() + 40)},
        {"bank cut in its second program", Bytes(goodBank.begin(), goodBank.end() - 5)},
        {"bank with 2^31 programs", hugeBank},
    };
    for (const auto& [what, bytes] : cases) EXPECT_THROW(fx::decode(bytes), vsthost::HostError) << what;

    fx::File params = paramBank();
    params.isBank = false;
    params.program = params.bank.programs[0];
    Bytes negative = fx::encode(params);
    negative[24] = 0xff;  // numParams negative
    EXPECT_THROW(fx::decode(negative), vsthost::HostError);
}
