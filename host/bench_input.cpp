#include "host/bench_input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/audio_file.h"
#include "host/guitar_riff.h"
#include "host/host_error.h"

namespace vsthost {
namespace {

constexpr double kDefaultSeconds = 10.0;

std::string hertz(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", rate);
    return text;
}

}  // namespace

BenchInput::BenchInput(const Options& options) {
    if (options.silence) {
        name_ = "silence";
        rate_ = options.rate.value_or(44100.0);
        return;
    }
    if (options.input.empty()) {
        name_ = "guitar riff";
        rate_ = options.rate.value_or(44100.0);
        channels_.push_back(guitarRiff(rate_, options.seconds.value_or(kDefaultSeconds)));
        frames_ = static_cast<int64_t>(channels_[0].size());
        return;
    }
    AudioReader reader(options.input);
    if (options.rate && *options.rate != reader.rate())
        throw HostError("--rate " + hertz(*options.rate) + " differs from the rate of " + options.input + " (" +
                        hertz(reader.rate()) + "); vsthost does not resample");
    name_ = options.input;
    rate_ = reader.rate();
    const auto count = static_cast<std::size_t>(reader.channels());
    std::vector<float> interleaved(static_cast<std::size_t>(reader.frames()) * count);
    frames_ = reader.read(interleaved.data(), reader.frames());
    if (frames_ <= 0) throw HostError(options.input + " holds no audio to bench with");
    channels_.assign(count, std::vector<float>(static_cast<std::size_t>(frames_)));
    for (std::size_t i = 0; i < static_cast<std::size_t>(frames_); ++i)
        for (std::size_t c = 0; c < count; ++c) channels_[c][i] = interleaved[i * count + c];
}

int64_t BenchInput::framesToRun(std::optional<double> seconds) const {
    if (!seconds && frames_ > 0) return frames_;
    return static_cast<int64_t>(std::llround(seconds.value_or(kDefaultSeconds) * rate_));
}

void BenchInput::fill(int32_t input, int64_t at, int32_t frames, float* out) const {
    if (channels_.empty()) {
        std::fill(out, out + frames, 0.0f);
        return;
    }
    const auto c = static_cast<std::size_t>(input);
    const std::vector<float>& channel = channels_[c < channels_.size() ? c : 0];
    for (int32_t i = 0; i < frames; ++i) out[i] = channel[static_cast<std::size_t>((at + i) % frames_)];
}

}  // namespace vsthost
