// vsthost render: an audio file through a plug-in into a 32-bit float WAV file.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "host/audio_file.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/presets.h"
#include "host/progress.h"
#include "host/session.h"

namespace vsthost {
namespace {

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

int runRender(const Options& options) {
    AudioReader input(options.input);
    if (options.rate && *options.rate != input.rate())
        throw HostError("--rate " + std::to_string(*options.rate) + " differs from the rate of " + options.input +
                        " (" + std::to_string(input.rate()) + " Hz); vsthost does not resample");
    if (sameFile(options.input, options.output))
        throw HostError("the output " + options.output + " is the input file; choose another name");
    const int rate = input.rate();

    HostContext host;
    auto plugin = Plugin::load(options.plugin, host);
    const int32_t ins = std::max(plugin->numInputs(), 0);
    const int32_t outs = plugin->numOutputs();
    if (outs < 1) throw HostError(options.plugin + " has no outputs to render");
    if (options.inPlace && !plugin->hasFlag(vst::effFlagsCanReplacing))
        throw HostError("--in-place needs a plug-in that processes replacing");
    startProcessing(*plugin, rate, options.block);
    applyActions(*plugin, options.actions);

    const int32_t block = options.block;
    const int fileChannels = input.channels();
    std::vector<float> fileBlock(static_cast<std::size_t>(block) * static_cast<std::size_t>(fileChannels));
    std::vector<float> outBlock(static_cast<std::size_t>(block) * static_cast<std::size_t>(outs));
    ChannelBuffers separateIn(ins, block);
    ChannelBuffers separateOut(outs, block);
    ChannelBuffers shared(options.inPlace ? std::max(ins, outs) : 0, block);
    ChannelBuffers& in = options.inPlace ? shared : separateIn;
    ChannelBuffers& out = options.inPlace ? shared : separateOut;

    AudioWriter writer(options.output, outs, rate);
    Progress progress("render", input.frames(), options.quiet);
    int64_t done = 0, nonFinite = 0, firstBadFrame = 0;
    int32_t firstBadChannel = 0;
    for (;;) {
        const int64_t got = input.read(fileBlock.data(), block);
        if (got == 0) break;
        const auto frames = static_cast<int32_t>(got);
        out.clear();
        // Missing plug-in inputs take the file's first channel; extra file channels are dropped.
        for (int32_t c = 0; c < ins; ++c) {
            const int source = c < fileChannels ? c : 0;
            float* dest = in.channel(c);
            for (int32_t i = 0; i < frames; ++i)
                dest[i] = fileBlock[static_cast<std::size_t>(i) * fileChannels + static_cast<std::size_t>(source)];
        }
        plugin->process(in.pointers(), out.pointers(), frames);
        for (int32_t c = 0; c < outs; ++c) {
            const float* source = out.channel(c);
            for (int32_t i = 0; i < frames; ++i) {
                if (!std::isfinite(source[i]) && nonFinite++ == 0) {
                    firstBadFrame = done + i;
                    firstBadChannel = c;
                }
                outBlock[static_cast<std::size_t>(i) * outs + static_cast<std::size_t>(c)] = source[i];
            }
        }
        writer.write(outBlock.data(), frames);
        done += frames;
        progress.update(done);
    }
    plugin->suspend();
    writer.close();
    if (!options.savePath.empty()) fx::save(*plugin, options.savePath);
    if (nonFinite > 0)
        throw HostError("the plug-in produced " + std::to_string(nonFinite) + " non-finite output samples (first at frame " +
                        std::to_string(firstBadFrame) + ", channel " + std::to_string(firstBadChannel) + "); " +
                        options.output + " holds them as written");
    if (!options.quiet)
        std::fprintf(results(), "rendered %lld frames at %d Hz through %s into %s\n", static_cast<long long>(done), rate,
                     plugin->effectName().c_str(), options.output.c_str());
    return 0;
}

}  // namespace vsthost
