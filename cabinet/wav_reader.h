#pragma once
// WAV reader for impulse-response files: RIFF/WAVE (and RF64 with its ds64 chunk) with chunks in any order,
// 8/16/24/32-bit integer PCM and 32/64-bit float (format tag 3, or WAVE_FORMAT_EXTENSIBLE with a PCM or float
// subformat). Samples are converted to doubles (full scale about +-1), channels interleaved.
//
// A file is opened without blocking and read only if it is a regular file no larger than kMaxFileBytes; the
// headers are read first, the samples then as far as the caller asks. Every refusal leaves a short reason
// for the user in error(). Nothing here ends the process or throws.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cabinet {

class WavReader {
public:
    static constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

    WavReader() = default;
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Reads the headers and then every sample into samples(). Returns whether the file is valid; on
    // failure the reader holds no samples and error() says why.
    bool read(const char* path) noexcept;
    // The same from bytes in memory.
    bool read_from_memory(const unsigned char* bytes, std::size_t size) noexcept;

    // Reads only the headers; the samples are then taken with read_samples(). The file stays open (the bytes
    // must stay alive) until the next open or read, or the reader's end.
    bool open(const char* path) noexcept;
    bool open_memory(const unsigned char* bytes, std::size_t size) noexcept;
    // Converts up to `count` of the samples that follow the last one handed out (all channels interleaved)
    // into `out`. Returns how many; fewer at the end of the data, 0 with error() set on a failed read or a
    // float sample that is not a finite number within float range.
    std::size_t read_samples(double* out, std::size_t count) noexcept;
    // Starts read_samples() at the first sample again.
    void rewind() noexcept { streamed_ = 0; }

    bool valid() const noexcept { return valid_; }
    // Why the last open or read failed, in a few words ("" when it did not).
    const char* error() const noexcept { return error_; }
    double sample_rate() const noexcept { return sampleRate_; }
    int bits_per_sample() const noexcept { return bitsPerSample_; }
    int channels() const noexcept { return channels_; }
    // Samples (all channels) in the data chunk.
    std::size_t total_samples() const noexcept { return totalSamples_; }
    // Samples read into samples() by read().
    int count() const noexcept { return static_cast<int>(samples_.size()); }
    int position() const noexcept { return position_; }
    const std::vector<double>& samples() const noexcept { return samples_; }

    // The next sample, advancing the position. On a reader with no sample left it returns 0 and sets
    // overrun(); the position stays where it is.
    double next_sample() noexcept;
    bool overrun() const noexcept { return overrun_; }

private:
    void clear() noexcept;
    bool fail(const char* reason) noexcept;
    bool parse() noexcept;
    bool readAll() noexcept;
    bool readAt(std::uint64_t offset, void* dest, std::size_t size) noexcept;

    std::vector<double> samples_;
    const unsigned char* memory_ = nullptr;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::size_t totalSamples_ = 0;
    std::size_t streamed_ = 0;
    double sampleRate_ = 0.0;
    int bitsPerSample_ = 0;
    int channels_ = 0;
    bool float_ = false;
    int position_ = 0;
    bool valid_ = false;
    bool overrun_ = false;
    char error_[80] = {};
};

}  // namespace cabinet
