// vsthost live: a plug-in between JACK's inputs and outputs, to play through; the editor in a window
// (or none), a status line on the terminal, and the preset saved on the way out.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "host/commands.h"
#include "host/editor_window.h"
#include "host/host_error.h"
#include "host/live_engine.h"
#include "host/presets.h"
#include "host/session.h"

namespace vsthost {
namespace {

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

std::string statusLine(LiveEngine& engine, LiveTarget& target) {
    char line[256];
    const double latencyMs = 1000.0 * (target.latency() + engine.blockSize()) / engine.rate();
    std::snprintf(line, sizeof line, "DSP %4.1f%% (plug-in %4.1f%%)  xruns %llu  latency %.1f ms  program %d %s",
                  static_cast<double>(engine.jackLoad()), engine.pluginLoad(),
                  static_cast<unsigned long long>(engine.xruns()), latencyMs, target.program(),
                  target.programName().c_str());
    return line;
}

}  // namespace

int runLive(const Options& options) {
    HostContext host;
    auto plugin = Plugin::load(options.plugin, host);
    Vst2LiveTarget target(*plugin);
    for (const auto& [controller, index] : options.controllers)
        if (index >= target.parameters())
            throw HostError("--cc " + std::to_string(controller) + "=" + std::to_string(index) +
                            ": index out of range, the plug-in has " + std::to_string(target.parameters()) + " parameters");
    LiveEngine engine(target, options.clientName.empty() ? target.name() : options.clientName);
    applyActions(*plugin, options.actions);
    for (const auto& [controller, index] : options.controllers) engine.mapController(controller, index);

    std::unique_ptr<EditorWindow> window;
    if (!options.noEditor) {
        if (!displayAvailable()) throw HostError("no X display for the editor: run with --no-editor for a headless rig");
        window = std::make_unique<EditorWindow>(*plugin, target.name() + " - vsthost live");
    }
    engine.activate();
    if (options.connect) engine.connect(options.connectIn, options.connectOut);

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    if (!options.quiet)
        std::fprintf(stderr, "playing %s as JACK client '%s' at %.0f Hz, %d frames; Ctrl-C %sstops%s\n",
                     target.name().c_str(), engine.clientName().c_str(), engine.rate(), engine.blockSize(),
                     window ? "or closing the window " : "",
                     options.savePath.empty() ? "" : (" (the preset goes to " + options.savePath + ")").c_str());

    const bool terminal = isatty(STDERR_FILENO) == 1;
    auto nextStatus = std::chrono::steady_clock::now();
    bool windowLost = false;
    while (!stopRequested && !engine.serverGone()) {
        engine.applyPendingProgram();
        if (window && !window->idle()) {
            windowLost = window->serverLost();
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!options.quiet && now >= nextStatus) {
            // A terminal gets one line rewritten in place; a log gets a line every ten seconds.
            if (terminal) std::fprintf(stderr, "\r%s\033[K", statusLine(engine, target).c_str());
            else std::fprintf(stderr, "%s\n", statusLine(engine, target).c_str());
            nextStatus = now + std::chrono::milliseconds(terminal ? 500 : 10000);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
    if (terminal && !options.quiet) std::fputc('\n', stderr);
    const bool serverGone = engine.serverGone();
    engine.deactivate();
    engine.applyPendingProgram();
    window.reset();
    target.suspend();
    if (!options.savePath.empty()) fx::save(*plugin, options.savePath);

    // What the test rig and a curious player read back: the state reached and the audio thread's record.
    std::fprintf(results(), "%llu cycles of %d frames at %.0f Hz, %llu xruns; program %d \"%s\"\n",
                 static_cast<unsigned long long>(engine.cycles()), engine.blockSize(), engine.rate(),
                 static_cast<unsigned long long>(engine.xruns()), target.program(), target.programName().c_str());
    for (const auto& [controller, index] : options.controllers)
        if (engine.controllerValue(controller) >= 0.0f)
            std::fprintf(results(), "controller %d set parameter %d to %.6f\n", controller, index,
                         static_cast<double>(engine.controllerValue(controller)));
    if (watch::interposed()) {
        const watch::Tally& tally = engine.realtimeTally();
        std::fprintf(results(), "process callback: %s\n",
                     tally.empty() ? "no allocation, lock or system call" : tally.describe().c_str());
    }
    const std::string saved = options.savePath.empty() ? "" : "; the preset was saved to " + options.savePath;
    if (serverGone) {
        std::fprintf(stderr, "vsthost: the JACK server went away%s\n", saved.c_str());
        return 1;
    }
    if (windowLost) {
        std::fprintf(stderr, "vsthost: the X server went away%s\n", saved.c_str());
        return 1;
    }
    return 0;
}

}  // namespace vsthost
