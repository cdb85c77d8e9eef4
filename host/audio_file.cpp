#include "host/audio_file.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>

#include "host/host_error.h"
#include "host/regular_file.h"

namespace vsthost {

AudioReader::AudioReader(const std::string& path) : path_(path) {
    SF_INFO info{};
    RegularFile checked(path, "read input");
    // libsndfile leaves the descriptor open (SF_FALSE), so that it is closed here exactly once, also on failure.
    file_ = sf_open_fd(checked.fd(), SFM_READ, &info, SF_FALSE);
    if (!file_) throw HostError("cannot read input " + path + ": " + sf_strerror(nullptr));
    fd_ = checked.release();
    channels_ = info.channels;
    rate_ = info.samplerate;
    frames_ = info.frames;
    if (channels_ < 1 || rate_ < 1) {
        sf_close(file_);
        close(fd_);
        throw HostError("input " + path + " has no channels or no sample rate");
    }
}

AudioReader::~AudioReader() {
    sf_close(file_);
    close(fd_);
}

int64_t AudioReader::read(float* interleaved, int64_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < 0) throw HostError("cannot read input " + path_ + ": " + sf_strerror(file_));
    return got;
}

AudioWriter::AudioWriter(const std::string& path, int channels, int rate) : path_(path), channels_(channels) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file_) throw HostError("cannot write " + path + ": " + sf_strerror(nullptr));
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(file_);
}

void AudioWriter::write(const float* interleaved, int64_t frames) {
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw HostError("cannot write " + path_ + ": " + sf_strerror(file_));
}

void AudioWriter::close() {
    SNDFILE* file = file_;
    file_ = nullptr;
    if (sf_close(file) != 0) throw HostError("cannot finish writing " + path_);
}

void writeWav(const std::string& path, const std::vector<std::vector<float>>& channels, int rate) {
    const std::size_t n = channels.size();
    const std::size_t frames = n ? channels[0].size() : 0;
    std::vector<float> interleaved(n * frames);
    for (std::size_t c = 0; c < n; ++c)
        for (std::size_t i = 0; i < frames; ++i) interleaved[i * n + c] = channels[c][i];
    AudioWriter writer(path, static_cast<int>(n), rate);
    writer.write(interleaved.data(), static_cast<int64_t>(frames));
    writer.close();
}

}  // namespace vsthost
