#include "cabinet/wav_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace cabinet {
namespace {

constexpr int kTagFloat = 3;
constexpr int kTagExtensible = 0xFFFE;
constexpr std::size_t kHeaderBytes = 36;

std::uint32_t u16(const unsigned char* p) noexcept { return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8); }

std::uint32_t u32(const unsigned char* p) noexcept { return u16(p) | (u16(p + 2) << 16); }

// Sign-extended little-endian integer of `bytes` bytes.
std::int32_t signedLe(const unsigned char* p, int bytes) noexcept
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    const int shift = 32 - 8 * bytes;
    return static_cast<std::int32_t>(v << shift) >> shift;
}

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

void WavReader::clear() noexcept
{
    samples_.clear();
    sampleRate_ = 0.0;
    bitsPerSample_ = 0;
    channels_ = 0;
    formatTag_ = 0;
    position_ = 0;
    valid_ = false;
    overrun_ = false;
}

bool WavReader::read(const char* path) noexcept
{
    clear();
    if (path == nullptr) return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file.get());
    if (end < 0 || static_cast<unsigned long>(end) > kMaxFileBytes) return false;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    std::vector<unsigned char> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return read_from_memory(bytes.data(), bytes.size());
}

bool WavReader::read_from_memory(const unsigned char* b, std::size_t size) noexcept
{
    clear();
    if (b == nullptr || size < kHeaderBytes || size > kMaxFileBytes) return false;
    if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0 || std::memcmp(b + 12, "fmt", 3) != 0)
        return false;
    const std::uint32_t fmtSize = u32(b + 16);
    int tag = static_cast<int>(u16(b + 20));
    const int channels = static_cast<int>(u16(b + 22));
    const std::uint32_t rate = u32(b + 24);
    const int bits = static_cast<int>(u16(b + 34));
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (fmtSize < 16 || channels == 0 || rate == 0) return false;

    // Chunks start on even offsets: an odd-sized chunk is followed by one pad byte.
    const std::size_t fmtEnd = 20 + std::size_t{fmtSize} + (fmtSize & 1u);
    if (fmtEnd > size) return false;
    if (tag == kTagExtensible) {
        if (fmtSize < 40) return false;
        tag = static_cast<int>(u16(b + 20 + 24));  // first two bytes of the subformat GUID
    }

    std::size_t pos = fmtEnd;
    std::size_t dataSize = 0;
    for (;;) {
        if (size - pos < 8) return false;  // the scan reached the end without a data chunk
        const std::uint32_t chunkSize = u32(b + pos + 4);
        if (std::memcmp(b + pos, "data", 4) == 0) {
            if (chunkSize > size - pos - 8) return false;
            dataSize = chunkSize;
            pos += 8;
            break;
        }
        const std::size_t skip = 8 + std::size_t{chunkSize} + (chunkSize & 1u);
        if (skip > size - pos) return false;
        pos += skip;
    }

    const int bytesPer = bits / 8;
    const std::size_t count = dataSize / static_cast<std::size_t>(bytesPer);
    try {
        samples_.resize(count);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    const unsigned char* p = b + pos;
    for (std::size_t i = 0; i < count; ++i, p += bytesPer) {
        double v = 0.0;
        switch (bits) {
        case 8: v = (static_cast<int>(p[0]) - 128) * 0x1p-7; break;
        case 16: v = signedLe(p, 2) * 0x1p-15; break;
        case 24: v = signedLe(p, 3) * 0x1p-23; break;
        default:
            if (tag == kTagFloat) {
                const std::uint32_t raw = u32(p);
                float f;
                std::memcpy(&f, &raw, sizeof f);
                if (!std::isfinite(f)) {
                    clear();
                    return false;
                }
                v = f;
            } else {
                v = signedLe(p, 4) * 0x1p-31;
            }
        }
        samples_[i] = v;
    }
    sampleRate_ = rate;
    bitsPerSample_ = bits;
    channels_ = channels;
    formatTag_ = tag;
    valid_ = true;
    return true;
}

double WavReader::next_sample() noexcept
{
    if (position_ >= count()) {
        overrun_ = true;
        return 0.0;
    }
    return samples_[static_cast<std::size_t>(position_++)];
}

}  // namespace cabinet
