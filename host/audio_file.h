// Audio files through libsndfile: any format it reads in, 32-bit float WAV out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace vsthost {

class AudioReader {
public:
    explicit AudioReader(const std::string& path);  // throws HostError
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int channels() const { return channels_; }
    int rate() const { return rate_; }
    int64_t frames() const { return frames_; }

    // Reads up to `frames` interleaved frames; returns how many were read (0 at the end).
    int64_t read(float* interleaved, int64_t frames);

private:
    std::string path_;
    SNDFILE* file_ = nullptr;
    int fd_ = -1;
    int channels_ = 0;
    int rate_ = 0;
    int64_t frames_ = 0;
};

class AudioWriter {
public:
    AudioWriter(const std::string& path, int channels, int rate);  // throws HostError
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void write(const float* interleaved, int64_t frames);  // throws HostError
    void close();                                          // throws HostError

private:
    std::string path_;
    SNDFILE* file_ = nullptr;
    int channels_;
};

// Writes planar channels of equal length as a 32-bit float WAV file.
void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate);

}  // namespace vsthost
