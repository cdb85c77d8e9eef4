#include "host/preset_format.h"

#include <algorithm>
#include <cstring>

#include "host/four_char_text.h"
#include "host/host_error.h"
#include "vst/utf8_cut.h"

namespace vsthost::fx {
namespace {

constexpr int32_t kProgramVersion = 1;
constexpr int32_t kBankVersion = 2;

class Writer {
public:
    void u32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<uint8_t>((v >> shift) & 0xffu));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void text(const std::string& s, std::size_t field) {
        // A name that fills the field has no terminator, as readers expect; a longer one is cut between characters.
        const std::size_t n = vst::utf8Cut(s.data(), s.size(), field);
        bytes_.insert(bytes_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
        bytes_.insert(bytes_.end(), field - n, 0);
    }
    void raw(const std::vector<uint8_t>& data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    std::size_t size() const { return bytes_.size(); }
    // Fills the byteSize field at `at` with the count of bytes that follow it.
    void patchSize(std::size_t at) {
        const auto size = static_cast<uint32_t>(bytes_.size() - at - 4);
        for (int i = 0; i < 4; ++i) bytes_[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    std::size_t remaining() const { return bytes_.size() - at_; }
    void need(std::size_t n, const char* what) const {
        if (remaining() < n) throw HostError(std::string("the preset is cut short in its ") + what);
    }
    uint32_t u32(const char* what) {
        need(4, what);
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | bytes_[at_++];
        return v;
    }
    int32_t i32(const char* what) { return static_cast<int32_t>(u32(what)); }
    float f32(const char* what) {
        const uint32_t bits = u32(what);
        float v = 0.0f;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string text(std::size_t field, const char* what) {
        need(field, what);
        const auto* start = reinterpret_cast<const char*>(bytes_.data() + at_);
        at_ += field;
        return std::string(start, strnlen(start, field));
    }
    std::vector<uint8_t> raw(std::size_t n, const char* what) {
        need(n, what);
        std::vector<uint8_t> out(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + n));
        at_ += n;
        return out;
    }
    void skip(std::size_t n, const char* what) {
        need(n, what);
        at_ += n;
    }

private:
    const std::vector<uint8_t>& bytes_;
    std::size_t at_ = 0;
};

std::size_t count(int32_t n, const char* what) {
    if (n < 0) throw HostError(std::string("the preset has a negative ") + what);
    return static_cast<std::size_t>(n);
}

void writeProgram(Writer& w, int32_t fxID, int32_t fxVersion, const Program& program) {
    w.i32(kHeaderMagic);
    const std::size_t sizeField = w.size();
    w.u32(0);
    w.i32(program.opaque ? kProgramChunk : kProgramParams);
    w.i32(kProgramVersion);
    w.i32(fxID);
    w.i32(fxVersion);
    w.i32(program.opaque ? program.numParams : static_cast<int32_t>(program.params.size()));
    w.text(program.name, kNameSize);
    if (program.opaque) {
        w.u32(static_cast<uint32_t>(program.chunk.size()));
        w.raw(program.chunk);
    } else {
        for (float v : program.params) w.f32(v);
    }
    w.patchSize(sizeField);
}

// Reads one program after its fxID and fxVersion fields have been taken by the caller.
Program readProgramBody(Reader& r, int32_t magic) {
    Program program;
    program.opaque = magic == kProgramChunk || magic == kOldProgramChunk;
    const int32_t numParams = r.i32("parameter count");
    program.name = r.text(kNameSize, "program name");
    if (program.opaque) {
        program.numParams = numParams;
        const std::size_t size = r.u32("chunk size");
        if (size > r.remaining()) throw HostError("the preset's chunk runs past the end of the file");
        program.chunk = r.raw(size, "chunk");
    } else {
        const std::size_t n = count(numParams, "parameter count");
        if (n > r.remaining() / 4) throw HostError("the preset's parameter list runs past the end of the file");
        program.params.reserve(n);
        for (std::size_t i = 0; i < n; ++i) program.params.push_back(r.f32("parameters"));
        program.numParams = numParams;
    }
    return program;
}

void expectHeader(Reader& r) {
    if (r.remaining() < 8 || r.u32("header") != static_cast<uint32_t>(kHeaderMagic))
        throw HostError("not an FXP/FXB preset (no 'CcnK' header)");
    r.u32("byte size");  // writers disagree on it; the structure and the file length are what count
}

uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t at) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | bytes[at + i];
    return v;
}

// 'FPCh' is the standard opaque program, but earlier vsthost versions also wrote opaque banks under
// it, with the 156-byte bank header. The two are told apart by which chunk size ends the file: a
// program's at byte 56, such a bank's at byte 156. In those banks byte 56 lies in the zeroed reserved
// field, so only a bank file of 60 bytes, which cannot exist, could agree with both; the standard
// reading is tried first. A file that agrees with neither is cut or damaged, and which layout it had
// cannot be known.
bool isOldOpaqueBank(const std::vector<uint8_t>& bytes) {
    const std::size_t size = bytes.size();
    auto endsFile = [&](std::size_t sizeAt) { return size >= sizeAt + 4 && size - sizeAt - 4 == wordAt(bytes, sizeAt); };
    if (endsFile(kProgramHeaderSize)) return false;
    if (endsFile(kBankHeaderSize)) return true;
    throw HostError("the 'FPCh' preset's sizes agree with neither a program (chunk size at byte 56) nor a bank of "
                    "earlier vsthost versions (chunk size at byte 156): the file is cut or damaged");
}

}  // namespace

std::vector<uint8_t> encode(const File& file) {
    Writer w;
    if (!file.isBank) {
        writeProgram(w, file.fxID, file.fxVersion, file.program);
        return w.take();
    }
    const Bank& bank = file.bank;
    w.i32(kHeaderMagic);
    const std::size_t sizeField = w.size();
    w.u32(0);
    w.i32(bank.opaque ? kBankChunk : kBankParams);
    w.i32(kBankVersion);
    w.i32(file.fxID);
    w.i32(file.fxVersion);
    w.i32(bank.opaque ? bank.numPrograms : static_cast<int32_t>(bank.programs.size()));
    w.i32(bank.currentProgram < 0 ? 0 : bank.currentProgram);  // first field of future[128]
    w.zeros(124);
    if (bank.opaque) {
        w.u32(static_cast<uint32_t>(bank.chunk.size()));
        w.raw(bank.chunk);
    } else {
        for (const Program& program : bank.programs) writeProgram(w, file.fxID, file.fxVersion, program);
    }
    w.patchSize(sizeField);
    return w.take();
}

File decode(const std::vector<uint8_t>& bytes) {
    Reader r(bytes);
    expectHeader(r);
    File file;
    const int32_t magic = r.i32("header");
    const int32_t version = r.i32("header");
    file.fxID = r.i32("header");
    file.fxVersion = r.i32("header");
    const bool oldBank = magic == kProgramChunk && isOldOpaqueBank(bytes);
    if (!oldBank && (magic == kProgramParams || magic == kProgramChunk || magic == kOldProgramChunk)) {
        file.program = readProgramBody(r, magic);
        return file;
    }
    if (!oldBank && magic != kBankParams && magic != kBankChunk)
        throw HostError("not an FXP/FXB preset (unknown kind '" + fourCharText(magic) + "')");
    file.isBank = true;
    Bank& bank = file.bank;
    bank.opaque = oldBank || magic == kBankChunk;
    bank.numPrograms = r.i32("program count");
    const std::size_t programs = count(bank.numPrograms, "program count");
    const int32_t current = r.i32("bank header");
    bank.currentProgram = version >= 2 ? current : -1;
    r.skip(124, "bank header");
    if (bank.opaque) {
        const std::size_t size = r.u32("chunk size");
        if (size > r.remaining()) throw HostError("the preset's chunk runs past the end of the file");
        bank.chunk = r.raw(size, "chunk");
        return file;
    }
    if (programs > r.remaining() / kProgramHeaderSize)
        throw HostError("the bank's programs run past the end of the file");
    for (std::size_t i = 0; i < programs; ++i) {
        expectHeader(r);
        const int32_t programMagic = r.i32("program header");
        if (programMagic != kProgramParams) throw HostError("a program in the bank is not a parameter list");
        r.skip(12, "program header");  // version, fxID, fxVersion
        bank.programs.push_back(readProgramBody(r, programMagic));
    }
    return file;
}

}  // namespace vsthost::fx
