// The ten programs of an effect: the records back to back (which, byte for byte, are the state chunk hosts
// keep), their names and the chunk of one program or of all. The current program index is the host
// adapter's; the bank is told it on every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vst/value_format.h"

namespace effect {

// Record: a trivially copyable program record with a `char name[]` field. NameLength: the most characters a
// name keeps. Repair(Record&): makes a record from outside (a host's chunk) safe to use.
template <class Record, int Count, int NameLength, void (*Repair)(Record&) noexcept>
class ProgramBank {
public:
    static constexpr int kCount = Count;
    static constexpr int32_t kProgramChunkSize = static_cast<int32_t>(sizeof(Record));
    static constexpr int32_t kBankChunkSize = Count * kProgramChunkSize;

    static bool valid(int32_t program) noexcept { return program >= 0 && program < Count; }

    Record& operator[](int program) noexcept { return records_[program]; }
    const Record& operator[](int program) const noexcept { return records_[program]; }
    Record* begin() noexcept { return records_; }
    Record* end() noexcept { return records_ + Count; }

    void setName(int current, const char* name) noexcept
    {
        if (name) vst::copyText(records_[current].name, name, NameLength);
    }
    void getName(int current, char* name) const noexcept
    {
        if (name) vst::copyText(name, records_[current].name, NameLength);
    }
    bool getNameIndexed(int32_t program, char* text) const noexcept
    {
        if (!valid(program) || !text) return false;
        vst::copyText(text, records_[program].name, NameLength);
        return true;
    }

    // The chunk points into the records themselves.
    int32_t getChunk(int current, void** data, bool isPreset) noexcept
    {
        if (!data) return 0;
        if (isPreset) {
            *data = &records_[current];
            return kProgramChunkSize;
        }
        *data = records_;
        return kBankChunkSize;
    }

    enum class Taken { Refused, Unchanged, Changed };

    // Copies a host's chunk over the current record (isPreset) or over all of them, repairing what it copied.
    // Refused: a null pointer or a size that is not the chunk's, and nothing changes. Unchanged: the current
    // program came back exactly as it was (hosts hand back the chunk they were given on every session load),
    // so there is nothing to apply and nothing to hear.
    Taken takeChunk(int current, const void* data, int32_t byteSize, bool isPreset) noexcept
    {
        if (!data || byteSize != (isPreset ? kProgramChunkSize : kBankChunkSize)) return Taken::Refused;
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (!isPreset) bytes += static_cast<std::size_t>(current) * sizeof(Record);
        const bool unchanged = std::memcmp(&records_[current], bytes, sizeof(Record)) == 0;
        // memmove: a host may hand back the very pointer getChunk gave it.
        if (isPreset) {
            std::memmove(&records_[current], data, sizeof(Record));
            Repair(records_[current]);
        } else {
            std::memmove(records_, data, sizeof records_);
            for (Record& record : records_) Repair(record);
        }
        return unchanged ? Taken::Unchanged : Taken::Changed;
    }

private:
    Record records_[Count];
};

}  // namespace effect
