#pragma once
// Minimal WAV reader for impulse-response files: RIFF/WAVE with a leading "fmt " chunk, 8/16/24-bit PCM,
// 32-bit integer PCM and 32-bit float (format tag 3, or WAVE_FORMAT_EXTENSIBLE with a float subformat).
// Every sample of the data chunk is converted to a double (full scale about +-1), channels interleaved.
//
// "Not valid" answers: a short or foreign header, a bit depth other than 8/16/24/32, zero channels, a zero
// sample rate, a format chunk shorter than 16 bytes, a chunk (the data chunk included) that runs past the end
// of the file, no data chunk, a float sample that is not finite, a file larger than kMaxFileBytes.
// Nothing here ends the process or throws.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cabinet {

class WavReader {
public:
    static constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

    // Reads a whole file. Returns whether it is valid; on failure the reader holds no samples.
    bool read(const char* path) noexcept;
    // The same from bytes in memory.
    bool read_from_memory(const unsigned char* bytes, std::size_t size) noexcept;

    bool valid() const noexcept { return valid_; }
    double sample_rate() const noexcept { return sampleRate_; }
    int bits_per_sample() const noexcept { return bitsPerSample_; }
    int channels() const noexcept { return channels_; }
    int format_tag() const noexcept { return formatTag_; }  // the subformat's tag for an extensible file
    int count() const noexcept { return static_cast<int>(samples_.size()); }
    int position() const noexcept { return position_; }
    const std::vector<double>& samples() const noexcept { return samples_; }

    // The next sample, advancing the position. On a reader with no sample left it returns 0 and sets
    // overrun(); the position stays where it is.
    double next_sample() noexcept;
    bool overrun() const noexcept { return overrun_; }

private:
    void clear() noexcept;

    std::vector<double> samples_;
    double sampleRate_ = 0.0;
    int bitsPerSample_ = 0;
    int channels_ = 0;
    int formatTag_ = 0;
    int position_ = 0;
    bool valid_ = false;
    bool overrun_ = false;
};

}  // namespace cabinet
