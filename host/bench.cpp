// vsthost bench: the CPU time a plug-in needs per second of audio: a guitar-like signal, a file, or
// silence.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "host/bench_input.h"
#include "host/commands.h"
#include "host/host_error.h"
#include "host/json.h"
#include "host/presets.h"
#include "host/progress.h"
#include "host/session.h"

namespace vsthost {
namespace {

// CPU time of the whole process, so that work a plug-in hands to its own threads is counted too.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

int runBench(const Options& options) {
    const BenchInput source(options);
    const double rate = source.rate();
    HostContext host;
    auto plugin = Plugin::load(options.plugin, host);
    const int32_t ins = std::max(plugin->numInputs(), 0);
    const int32_t outs = std::max(plugin->numOutputs(), 0);
    startProcessing(*plugin, rate, options.block);
    applyActions(*plugin, options.actions);

    const int64_t total = source.framesToRun(options.seconds);
    ChannelBuffers in(ins, options.block);
    ChannelBuffers out(outs, options.block);
    Progress progress("bench", total, options.quiet);
    double cpu = 0.0;
    int64_t nonFinite = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    for (int64_t done = 0; done < total;) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(options.block, total - done));
        for (int32_t c = 0; c < ins; ++c) source.fill(c, done, frames, in.channel(c));
        const double start = cpuSeconds();
        plugin->process(in.pointers(), out.pointers(), frames);
        cpu += cpuSeconds() - start;
        for (int32_t c = 0; c < outs; ++c)
            nonFinite += std::count_if(out.channel(c), out.channel(c) + frames, [](float v) { return !std::isfinite(v); });
        done += frames;
        progress.update(done);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    plugin->suspend();
    if (!options.savePath.empty()) fx::save(*plugin, options.savePath);

    const double audio = static_cast<double>(total) / rate;
    const double perAudioSecond = audio > 0.0 ? cpu / audio : 0.0;
    const double realTime = cpu > 0.0 ? audio / cpu : 0.0;
    const double nsPerSample = total > 0 ? cpu * 1e9 / static_cast<double>(total) : 0.0;
    FILE* outFile = results();
    if (options.json) {
        std::fprintf(outFile,
                     "{\"plugin\": %s, \"input\": %s, \"rate\": %s, \"block\": %d, \"audioSeconds\": %s, \"frames\": %lld, "
                     "\"cpuSeconds\": %s, \"wallSeconds\": %s, \"cpuPerAudioSecond\": %s, \"realTimeFactor\": %s, "
                     "\"nsPerSample\": %s}\n",
                     jsonString(plugin->effectName()).c_str(), jsonString(source.name()).c_str(), jsonNumber(rate).c_str(),
                     options.block,
                     jsonNumber(audio).c_str(), static_cast<long long>(total), jsonNumber(cpu).c_str(),
                     jsonNumber(wall).c_str(), jsonNumber(perAudioSecond).c_str(), jsonNumber(realTime).c_str(),
                     jsonNumber(nsPerSample).c_str());
    } else {
        std::fprintf(outFile, "%s: %.3f s of %s at %g Hz in blocks of %d\n", plugin->effectName().c_str(), audio,
                     source.name().c_str(), rate, options.block);
        std::fprintf(outFile, "  CPU seconds per audio second  %.5f\n", perAudioSecond);
        std::fprintf(outFile, "  real-time factor              %.1f\n", realTime);
        std::fprintf(outFile, "  ns per sample frame           %.1f\n", nsPerSample);
    }
    std::fflush(outFile);
    if (nonFinite > 0)
        throw HostError("the plug-in produced " + std::to_string(nonFinite) + " non-finite output samples");
    return 0;
}

}  // namespace vsthost
