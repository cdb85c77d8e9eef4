// vsthost edit: the plug-in's editor in a window of its own until the user closes it; then the sound
// made by hand can be saved as a preset and used with render.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "host/commands.h"
#include "host/editor_window.h"
#include "host/presets.h"

namespace vsthost {

int runEdit(const Options& options) {
    HostContext host;
    auto plugin = loadForEditor(options, host);
    bool serverLost = false;
    {
        EditorWindow window(*plugin, plugin->effectName() + " - vsthost");
        if (!options.quiet) {
            const std::string then = options.savePath.empty() ? "" : " (the preset goes to " + options.savePath + ")";
            std::fprintf(stderr, "editing %s; close the window when done%s\n", plugin->effectName().c_str(),
                         then.c_str());
        }
        // About 30 idle calls a second, as hosts give.
        auto next = std::chrono::steady_clock::now();
        while (window.idle()) {
            // A call that took long (a file dialog) does not make the next ones hurry.
            next = std::max(next + std::chrono::milliseconds(33), std::chrono::steady_clock::now());
            std::this_thread::sleep_until(next);
        }
        serverLost = window.serverLost();
    }
    plugin->suspend();
    if (!options.savePath.empty()) fx::save(*plugin, options.savePath);
    if (serverLost) {
        std::fprintf(stderr, "vsthost: the X server went away%s%s\n",
                     options.savePath.empty() ? "" : "; the preset was saved to ", options.savePath.c_str());
        return 1;
    }
    if (!options.quiet)
        std::fprintf(results(), "%zu parameter changes made in the editor%s%s\n", host.automationCount(),
                     options.savePath.empty() ? "" : "; saved ", options.savePath.c_str());
    return 0;
}

}  // namespace vsthost
