#include "host/session.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "host/host_error.h"
#include "host/presets.h"

namespace vsthost {

ChannelBuffers::ChannelBuffers(int32_t channels, int32_t frames)
    : channels_(std::max(channels, 0)),
      frames_(std::max(frames, 0)),
      samples_(static_cast<std::size_t>(channels_) * static_cast<std::size_t>(frames_)),
      pointers_(static_cast<std::size_t>(std::max(channels_, 1)), nullptr) {
    for (int32_t c = 0; c < channels_; ++c)
        pointers_[static_cast<std::size_t>(c)] = samples_.data() + static_cast<std::size_t>(c) * frames_;
}

void ChannelBuffers::clear() { std::fill(samples_.begin(), samples_.end(), 0.0f); }

void startProcessing(Plugin& plugin, double rate, int32_t block) {
    plugin.setSampleRate(rate);
    plugin.setBlockSize(block);
    plugin.resume();
}

void applyActions(Plugin& plugin, const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        switch (action.kind) {
        case Action::Kind::Program:
            if (action.index >= plugin.numPrograms())
                throw HostError("--program " + std::to_string(action.index) + " is out of range: the plug-in has " +
                                std::to_string(plugin.numPrograms()) + " programs");
            plugin.setProgram(action.index);
            break;
        case Action::Kind::Set:
            if (action.index >= plugin.numParams())
                throw HostError("--set " + std::to_string(action.index) + "=...: index out of range, the plug-in has " +
                                std::to_string(plugin.numParams()) + " parameters");
            plugin.setParameter(action.index, action.value);
            break;
        case Action::Kind::Load:
            fx::load(plugin, action.path);
            break;
        case Action::Kind::OpenFile:
            if (access(action.path.c_str(), R_OK) != 0) throw HostError("cannot read --open-file " + action.path);
            plugin.host().queueFile(action.path);
            break;
        }
    }
    // An unanswered file would mean a load the user asked for silently did not happen.
    if (plugin.host().pendingFiles() > 0)
        throw HostError("the plug-in did not ask for a file after --open-file (follow it with the option that "
                        "makes the plug-in open its file selector, e.g. --set 21=1)");
}

}  // namespace vsthost
