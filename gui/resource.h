// Bitmap resources built into a plug-in: PNG files by number, as a generated source file provides them.
#pragma once

#include <cstddef>
#include <cstdint>

struct CResource {
    int32_t id;
    const unsigned char* bytes;
    std::size_t size;
};

class CResourceTable {
public:
    constexpr CResourceTable(const CResource* entries, std::size_t count) : entries_(entries), count_(count) {}
    // Null when the table has no resource of that number.
    const CResource* find(int32_t id) const {
        for (std::size_t i = 0; i < count_; ++i)
            if (entries_[i].id == id) return &entries_[i];
        return nullptr;
    }

private:
    const CResource* entries_;
    std::size_t count_;
};
