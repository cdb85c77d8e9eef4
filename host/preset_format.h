// FXP (one program) and FXB (a bank) preset files: the standard big-endian formats other hosts read.
// A program or bank is stored either as a parameter list ('FxCk' / 'FxBk') or as the plug-in's
// opaque chunk ('FPCh' / 'FBCh', for plug-ins with effFlagsProgramChunks). Earlier vsthost versions
// wrote opaque programs as 'FxCh' and opaque banks as 'FPCh' with the bank header; both still load.
// The bytes alone, without a plug-in: what is read from a file and written to one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost::fx {

constexpr int32_t kHeaderMagic = 0x43636e4b;     // 'CcnK'
constexpr int32_t kProgramParams = 0x4678436b;   // 'FxCk'
constexpr int32_t kProgramChunk = 0x46504368;    // 'FPCh'
constexpr int32_t kBankParams = 0x4678426b;      // 'FxBk'
constexpr int32_t kBankChunk = 0x46424368;       // 'FBCh'
constexpr int32_t kOldProgramChunk = 0x46784368; // 'FxCh', read only
constexpr std::size_t kProgramHeaderSize = 56;   // up to and including prgName[28]
constexpr std::size_t kBankHeaderSize = 156;     // up to and including future[128]
constexpr std::size_t kNameSize = 28;

struct Program {
    std::string name;
    bool opaque = false;  // chunk rather than params
    std::vector<float> params;
    std::vector<uint8_t> chunk;
    int32_t numParams = 0;  // written in the header of an opaque program: the plug-in's count
};

struct Bank {
    bool opaque = false;
    std::vector<Program> programs;  // the parameter-list form
    std::vector<uint8_t> chunk;     // the opaque form
    int32_t numPrograms = 0;
    int32_t currentProgram = -1;    // stored by version-2 banks; -1 when absent
};

struct File {
    bool isBank = false;
    int32_t fxID = 0;
    int32_t fxVersion = 0;
    Program program;
    Bank bank;
};

// Banks are written as version 2 so that they carry the current program; programs as version 1.
std::vector<uint8_t> encode(const File& file);
// Throws HostError naming what is malformed; never reads outside `bytes`.
File decode(const std::vector<uint8_t>& bytes);

}  // namespace vsthost::fx
