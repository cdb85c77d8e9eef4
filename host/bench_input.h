// What vsthost bench feeds a plug-in: its guitar-like signal, an audio file, or exact zeros.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/options.h"

namespace vsthost {

class BenchInput {
public:
    // From --input, --silence, --rate and --seconds; throws HostError for a file it cannot use.
    explicit BenchInput(const Options& options);

    const std::string& name() const { return name_; }  // "guitar riff", "silence" or the file
    double rate() const { return rate_; }

    // How many frames to time: `seconds` when given, else a file once, else 10 s.
    int64_t framesToRun(std::optional<double> seconds) const;

    // Frames `at` .. `at + frames` of what plug-in input `input` gets, looped. A source with fewer
    // channels than the plug-in has inputs feeds its first channel to the others.
    void fill(int32_t input, int64_t at, int32_t frames, float* out) const;

private:
    std::string name_;
    double rate_ = 44100.0;
    std::vector<std::vector<float>> channels_;  // none for silence
    int64_t frames_ = 0;                        // of one pass
};

}  // namespace vsthost
