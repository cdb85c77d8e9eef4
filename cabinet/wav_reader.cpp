#include "cabinet/wav_reader.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cabinet {
namespace {

constexpr int kTagPcm = 1;
constexpr int kTagFloat = 3;
constexpr int kTagExtensible = 0xFFFE;
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;

std::uint32_t u16(const unsigned char* p) noexcept { return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8); }

std::uint32_t u32(const unsigned char* p) noexcept { return u16(p) | (u16(p + 2) << 16); }

std::uint64_t u64(const unsigned char* p) noexcept { return std::uint64_t{u32(p)} | (std::uint64_t{u32(p + 4)} << 32); }

bool isId(const unsigned char* p, const char* id) noexcept { return std::memcmp(p, id, 4) == 0; }

// Sign-extended little-endian integer of `bytes` bytes.
std::int32_t signedLe(const unsigned char* p, int bytes) noexcept
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    const int shift = 32 - 8 * bytes;
    return static_cast<std::int32_t>(v << shift) >> shift;
}

// strerror_r comes in a GNU and a POSIX form; either gives the message.
[[maybe_unused]] const char* errorText(int result, const char* buffer) noexcept
{
    return result == 0 ? buffer : "error";
}
[[maybe_unused]] const char* errorText(const char* result, const char*) noexcept { return result; }

}  // namespace

WavReader::~WavReader()
{
    if (fd_ >= 0) ::close(fd_);
}

void WavReader::clear() noexcept
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    memory_ = nullptr;
    size_ = 0;
    samples_.clear();
    dataOffset_ = 0;
    totalSamples_ = 0;
    streamed_ = 0;
    sampleRate_ = 0.0;
    bitsPerSample_ = 0;
    channels_ = 0;
    float_ = false;
    position_ = 0;
    valid_ = false;
    overrun_ = false;
    error_[0] = '\0';
}

bool WavReader::fail(const char* reason) noexcept
{
    samples_.clear();
    valid_ = false;
    std::snprintf(error_, sizeof error_, "%s", reason);
    return false;
}

bool WavReader::readAt(std::uint64_t offset, void* dest, std::size_t size) noexcept
{
    if (offset > size_ || size > size_ - offset) return fail("file cut short");
    if (fd_ < 0) {
        std::memcpy(dest, memory_ + offset, size);
        return true;
    }
    auto* out = static_cast<unsigned char*>(dest);
    while (size > 0) {
        const ssize_t got = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            char buffer[64] = {};
            char reason[80];
            std::snprintf(reason, sizeof reason, "cannot read: %s",
                          errorText(strerror_r(errno, buffer, sizeof buffer), buffer));
            return fail(reason);
        }
        if (got == 0) return fail("file cut short");  // it shrank since it was opened
        out += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WavReader::open(const char* path) noexcept
{
    clear();
    if (path == nullptr || *path == '\0') return fail("no file");
    // A FIFO or a device must not block us before we know what it is.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        char buffer[64] = {};
        char reason[80];
        std::snprintf(reason, sizeof reason, "cannot open: %s",
                      errorText(strerror_r(err, buffer, sizeof buffer), buffer));
        return fail(reason);
    }
    fd_ = fd;
    if (S_ISDIR(st.st_mode)) return fail("a folder, not a file");
    if (!S_ISREG(st.st_mode)) return fail("not a regular file");
    const auto bytes = static_cast<std::uint64_t>(st.st_size);
    if (bytes > kMaxFileBytes) {
        char reason[80];
        std::snprintf(reason, sizeof reason, "too large (%llu MB)", static_cast<unsigned long long>(bytes >> 20));
        return fail(reason);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size_ = bytes;
    return parse();
}

bool WavReader::open_memory(const unsigned char* bytes, std::size_t size) noexcept
{
    clear();
    if (bytes == nullptr) return fail("no file");
    if (size > kMaxFileBytes) {
        char reason[80];
        std::snprintf(reason, sizeof reason, "too large (%zu MB)", size >> 20);
        return fail(reason);
    }
    memory_ = bytes;
    size_ = size;
    return parse();
}

bool WavReader::parse() noexcept
{
    unsigned char head[12];
    if (size_ < sizeof head) return fail("not a WAV file");
    if (!readAt(0, head, sizeof head)) return false;
    const bool rf64 = isId(head, "RF64") || isId(head, "BW64");
    if ((!rf64 && !isId(head, "RIFF")) || !isId(head + 8, "WAVE")) return fail("not a WAV file");

    unsigned char fmt[40] = {};
    std::uint64_t fmtSize = 0;
    bool haveFmt = false;
    bool haveData = false;
    bool haveDs64 = false;
    std::uint64_t ds64DataSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t pos = sizeof head;
    while (!(haveFmt && haveData) && size_ - pos >= 8) {
        unsigned char h[8];
        if (!readAt(pos, h, sizeof h)) return false;
        std::uint64_t chunk = u32(h + 4);
        const std::uint64_t body = pos + 8;
        if (rf64 && chunk == kSizeInDs64 && !isId(h, "ds64")) {
            // Only the data chunk's 64-bit size matters here; a larger chunk of another kind cannot fit our bounds.
            if (!isId(h, "data") || !haveDs64) return fail("damaged RF64 header");
            chunk = ds64DataSize;
        }
        if (chunk > size_ - body) return fail("file cut short");
        if (rf64 && isId(h, "ds64") && !haveDs64) {
            unsigned char ds64[16];
            if (chunk < sizeof ds64) return fail("damaged RF64 header");
            if (!readAt(body, ds64, sizeof ds64)) return false;
            ds64DataSize = u64(ds64 + 8);  // after the 64-bit RIFF size
            haveDs64 = true;
        } else if (isId(h, "fmt ") && !haveFmt) {
            if (chunk < 16) return fail("damaged format chunk");
            fmtSize = chunk;
            if (!readAt(body, fmt, static_cast<std::size_t>(std::min<std::uint64_t>(chunk, sizeof fmt)))) return false;
            haveFmt = true;
        } else if (isId(h, "data") && !haveData) {
            dataOffset_ = body;
            dataSize = chunk;
            haveData = true;
        }
        // Chunks start on even offsets: an odd-sized chunk is followed by one pad byte.
        pos = std::min(size_, body + chunk + (chunk & 1u));
    }
    if (!haveFmt) return fail(haveData ? "no format chunk" : "not a WAV file");
    if (!haveData) return fail("no data chunk");

    int tag = static_cast<int>(u16(fmt));
    const int channels = static_cast<int>(u16(fmt + 2));
    const std::uint32_t rate = u32(fmt + 4);
    const int bits = static_cast<int>(u16(fmt + 14));
    if (tag == kTagExtensible) {
        if (fmtSize < 40) return fail("damaged format chunk");
        tag = static_cast<int>(u16(fmt + 24));  // first two bytes of the subformat GUID
    }
    char reason[80];
    if (tag == kTagPcm) {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            std::snprintf(reason, sizeof reason, "%d-bit samples", bits);
            return fail(reason);
        }
    } else if (tag == kTagFloat) {
        if (bits != 32 && bits != 64) {
            std::snprintf(reason, sizeof reason, "%d-bit float samples", bits);
            return fail(reason);
        }
    } else {
        std::snprintf(reason, sizeof reason, "compressed format %d", tag);
        return fail(reason);
    }
    if (channels == 0) return fail("no channels");
    if (rate == 0) return fail("no sample rate");
    totalSamples_ = static_cast<std::size_t>(dataSize / static_cast<std::uint64_t>(bits / 8));
    if (totalSamples_ < static_cast<std::size_t>(channels)) return fail("no samples");

    sampleRate_ = rate;
    bitsPerSample_ = bits;
    channels_ = channels;
    float_ = tag == kTagFloat;
    valid_ = true;
    return true;
}

std::size_t WavReader::read_samples(double* out, std::size_t count) noexcept
{
    if (!valid_ || out == nullptr) return 0;
    const int bytesPer = bitsPerSample_ / 8;
    const std::size_t wanted = std::min(count, totalSamples_ - streamed_);
    unsigned char block[8192];
    const std::size_t perBlock = sizeof block / static_cast<std::size_t>(bytesPer);
    std::size_t done = 0;
    while (done < wanted) {
        const std::size_t n = std::min(perBlock, wanted - done);
        const std::uint64_t offset = dataOffset_ + std::uint64_t{streamed_} * static_cast<std::uint64_t>(bytesPer);
        if (!readAt(offset, block, n * static_cast<std::size_t>(bytesPer))) return 0;
        const unsigned char* p = block;
        for (std::size_t i = 0; i < n; ++i, p += bytesPer) {
            double v = 0.0;
            if (float_) {
                if (bytesPer == 4) {
                    const std::uint32_t raw = u32(p);
                    float f;
                    std::memcpy(&f, &raw, sizeof f);
                    v = f;
                } else {
                    const std::uint64_t raw = u64(p);
                    std::memcpy(&v, &raw, sizeof v);
                }
                // Beyond float range the transforms of the response could overflow.
                if (!(std::fabs(v) <= FLT_MAX)) {
                    fail("float samples out of range");
                    return 0;
                }
            } else {
                switch (bytesPer) {
                case 1: v = (static_cast<int>(p[0]) - 128) * 0x1p-7; break;
                case 2: v = signedLe(p, 2) * 0x1p-15; break;
                case 3: v = signedLe(p, 3) * 0x1p-23; break;
                default: v = signedLe(p, 4) * 0x1p-31; break;
                }
            }
            out[done + i] = v;
        }
        done += n;
        streamed_ += n;
    }
    return done;
}

bool WavReader::readAll() noexcept
{
    try {
        samples_.resize(totalSamples_);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
    rewind();
    if (read_samples(samples_.data(), totalSamples_) != totalSamples_) return false;
    return true;
}

bool WavReader::read(const char* path) noexcept { return open(path) && readAll(); }

bool WavReader::read_from_memory(const unsigned char* bytes, std::size_t size) noexcept
{
    return open_memory(bytes, size) && readAll();
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
