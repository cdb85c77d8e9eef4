// What render and bench share: channel buffers and putting a plug-in into the state the options ask for.
#pragma once

#include <cstdint>
#include <vector>

#include "host/options.h"
#include "host/plugin.h"

namespace vsthost {

// Planar channels of one block; pointers() is never empty, so plug-ins with no inputs get a valid array.
class ChannelBuffers {
public:
    ChannelBuffers(int32_t channels, int32_t frames);
    float** pointers() { return pointers_.data(); }
    float* channel(int32_t c) { return pointers_[static_cast<std::size_t>(c)]; }
    int32_t channels() const { return channels_; }
    void clear();

private:
    int32_t channels_;
    int32_t frames_;
    std::vector<float> samples_;
    std::vector<float*> pointers_;
};

// Rate and block size, then effMainsChanged 1.
void startProcessing(Plugin& plugin, double rate, int32_t block);

// --program, --set, --load and --open-file in command-line order. Throws HostError on an index out of
// range, an unreadable file, or a queued file the plug-in never asked for.
void applyActions(Plugin& plugin, const std::vector<Action>& actions);

}  // namespace vsthost
