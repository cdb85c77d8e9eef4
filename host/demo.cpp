// vsthost demo: a synthesised guitar riff through the amp in its main settings, as WAV files and pictures.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/audio_file.h"
#include "host/commands.h"
#include "host/editor_window.h"
#include "host/guitar_riff.h"
#include "host/host_error.h"
#include "host/plot.h"
#include "host/progress.h"
#include "host/session.h"

namespace vsthost {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr double kSilentPeak = 1e-6;  // -120 dBFS: only denormal guards or nothing at all

struct Setting {
    const char* stem;
    const char* title;
    std::vector<std::pair<int32_t, float>> params;  // in this order: channel switches before their drives
};

const Setting kAmpSettings[] = {
    {"clean", "Clean", {{1, 0.0f}, {2, 0.0f}}},
    {"crunch", "Crunch, Drive1 0.7", {{1, 0.0f}, {2, 1.0f}, {5, 0.7f}}},
    {"overdrive", "Overdrive, Drive2 0.7", {{1, 1.0f}, {6, 0.7f}}},
    {"overdrive-highq", "Overdrive, Drive2 0.7, HighQ", {{1, 1.0f}, {6, 0.7f}, {14, 1.0f}}},
};
const Setting kPreampSetting = {"preamp-crunch", "PreAmp: Crunch, Drive1 0.7", {{1, 0.0f}, {2, 1.0f}, {5, 0.7f}}};

std::filesystem::path executableFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw HostError("demo: cannot find the folder of vsthost");
    return self.parent_path();
}

std::vector<std::vector<float>> renderThrough(const std::filesystem::path& library, const Setting& setting,
                                              const std::vector<float>& input, bool quiet) {
    HostContext host;
    auto plugin = Plugin::load(library.string(), host);
    startProcessing(*plugin, kRate, kBlock);
    for (const auto& [index, value] : setting.params) {
        if (index >= plugin->numParams())
            throw HostError("demo: " + library.filename().string() + " has no parameter " + std::to_string(index));
        plugin->setParameter(index, value);
    }
    const int32_t ins = std::max(plugin->numInputs(), 0);
    const int32_t outs = std::max(plugin->numOutputs(), 0);
    ChannelBuffers in(ins, kBlock), out(outs, kBlock);
    std::vector<std::vector<float>> result(static_cast<std::size_t>(outs));
    for (auto& channel : result) channel.reserve(input.size());
    Progress progress(setting.stem, static_cast<int64_t>(input.size()), quiet);
    for (std::size_t done = 0; done < input.size();) {
        const auto frames = static_cast<int32_t>(std::min<std::size_t>(kBlock, input.size() - done));
        for (int32_t c = 0; c < ins; ++c) std::copy_n(input.data() + done, frames, in.channel(c));
        out.clear();
        plugin->process(in.pointers(), out.pointers(), frames);
        for (int32_t c = 0; c < outs; ++c)
            result[static_cast<std::size_t>(c)].insert(result[static_cast<std::size_t>(c)].end(), out.channel(c),
                                                       out.channel(c) + frames);
        done += static_cast<std::size_t>(frames);
        progress.update(static_cast<int64_t>(done));
    }
    plugin->suspend();
    return result;
}

}  // namespace

int runDemo(const Options& options) {
    const auto folder = executableFolder();
    const auto amp = folder / "Tavik_FullStack_v1_04.so";
    const auto preamp = folder / "Tavik_PreAmp_v2.so";
    if (!std::filesystem::exists(amp))
        throw HostError("demo needs " + amp.string() + " next to vsthost; build it first");

    const std::filesystem::path outDir = options.output;
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error) throw HostError("cannot create " + outDir.string() + ": " + error.message());

    const std::vector<float> di = guitarRiff(kRate, riffSeconds());
    const auto diPath = (outDir / "di.wav").string();
    writeWav(diPath, {di}, static_cast<int>(kRate));
    FILE* out = results();
    std::fprintf(out, "demo: a %.1f s guitar DI riff at %g Hz: %s\n", riffSeconds(), kRate, diPath.c_str());

    std::vector<std::pair<std::filesystem::path, const Setting*>> renders;
    for (const Setting& setting : kAmpSettings) renders.emplace_back(amp, &setting);
    if (std::filesystem::exists(preamp)) renders.emplace_back(preamp, &kPreampSetting);

    std::vector<std::string> problems;
    for (const auto& [library, setting] : renders) {
        const auto outputs = renderThrough(library, *setting, di, options.quiet);
        float peak = 0.0f;
        bool finite = true;
        for (const auto& channel : outputs)
            for (float v : channel) {
                finite = finite && std::isfinite(v);
                if (std::isfinite(v)) peak = std::max(peak, std::abs(v));
            }
        const auto wav = (outDir / (std::string(setting->stem) + ".wav")).string();
        const auto png = (outDir / (std::string(setting->stem) + ".png")).string();
        writeWav(wav, outputs, static_cast<int>(kRate));
        plotComparison(png, library.filename().string() + ": " + setting->title, di, outputs, kRate);
        std::string verdict;
        if (!finite) {
            verdict = "HAS NON-FINITE SAMPLES";
            problems.push_back(setting->stem);
        } else if (peak < kSilentPeak) {
            verdict = "SILENT: the plug-in output nothing audible";
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "peak %.1f dBFS", 20.0 * std::log10(peak));
            verdict = text;
        }
        std::fprintf(out, "  %-16s %s  %s  (%s)\n", setting->stem, wav.c_str(), png.c_str(), verdict.c_str());
        std::fflush(out);
    }
    if (!problems.empty()) throw HostError("demo: non-finite output in " + problems.front());

    // Pictures of the editors, when there is a display to open them on.
    if (!displayAvailable()) {
        std::fprintf(out, "  (no X display: the editor pictures are left out; run under xvfb-run to get them)\n");
        return 0;
    }
    for (const auto& [library, stem] : {std::pair{amp, "editor-fullstack"}, std::pair{preamp, "editor-preamp"}}) {
        if (!std::filesystem::exists(library)) continue;
        HostContext host;
        auto plugin = Plugin::load(library.string(), host);
        startProcessing(*plugin, kRate, kBlock);
        const auto png = (outDir / (std::string(stem) + ".png")).string();
        saveEditorSnapshot(*plugin, png);
        std::fprintf(out, "  %-16s %s\n", stem, png.c_str());
    }
    return 0;
}

}  // namespace vsthost
