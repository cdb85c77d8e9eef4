// FXP/FXB preset files as vsthost reads them: whatever decodes must encode, and decode again to the same
// preset; the second encoding must give the same bytes as the first. Nothing may read outside the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/host_error.h"
#include "host/preset_format.h"

namespace {

namespace fx = vsthost::fx;

void check(bool ok) {
    if (!ok) std::abort();
}

bool sameFloats(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

void checkSameProgram(const fx::Program& a, const fx::Program& b) {
    check(a.name == b.name);
    check(a.opaque == b.opaque);
    check(sameFloats(a.params, b.params));  // bit for bit: NaNs too
    check(a.chunk == b.chunk);
    check(a.numParams == b.numParams);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fx::File first;
    try {
        first = fx::decode(std::vector<uint8_t>(data, data + size));
    } catch (const vsthost::HostError&) {
        return 0;  // refused with a reason: fine
    }
    const std::vector<uint8_t> encoded = fx::encode(first);
    fx::File second;
    try {
        second = fx::decode(encoded);
    } catch (const vsthost::HostError&) {
        std::abort();  // what vsthost writes it must read back
    }
    check(first.isBank == second.isBank && first.fxID == second.fxID && first.fxVersion == second.fxVersion);
    if (!first.isBank) {
        checkSameProgram(first.program, second.program);
    } else {
        check(first.bank.opaque == second.bank.opaque);
        check(first.bank.chunk == second.bank.chunk);
        check(first.bank.numPrograms == second.bank.numPrograms);
        // Banks are written as version 2, where an absent or negative current program is stored as 0.
        check(second.bank.currentProgram == (first.bank.currentProgram < 0 ? 0 : first.bank.currentProgram));
        check(first.bank.programs.size() == second.bank.programs.size());
        for (std::size_t i = 0; i < first.bank.programs.size(); ++i)
            checkSameProgram(first.bank.programs[i], second.bank.programs[i]);
    }
    check(fx::encode(second) == encoded);
    return 0;
}
