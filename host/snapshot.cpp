// vsthost snapshot: the plug-in's editor in a window, saved as a picture.
#include "host/commands.h"
#include "host/editor_window.h"
#include "host/presets.h"

namespace vsthost {

int runSnapshot(const Options& options) {
    HostContext host;
    auto plugin = loadForEditor(options, host);
    saveEditorSnapshot(*plugin, options.output);
    plugin->suspend();
    if (!options.savePath.empty()) fx::save(*plugin, options.savePath);
    if (!options.quiet) std::fprintf(results(), "saved the editor of %s as %s\n", plugin->effectName().c_str(),
                                     options.output.c_str());
    return 0;
}

}  // namespace vsthost
