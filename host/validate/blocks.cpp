// validate's blocks check: blocks of 0, 1, odd and very many frames, and at the contract level more
// frames than declared, -1 frames and processing while suspended.
#include <algorithm>
#include <string>
#include <vector>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkBlocks(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    std::vector<int32_t> sizes = {0, 1, 7, 4096, 100000};
    for (int32_t size : sizes) {
        restart(*plugin, 44100.0, std::max(size, 1));
        rig.run(probe, *plugin, size);
        rig.run(probe, *plugin, size);
    }
    restart(*plugin, 44100.0, 4096);
    for (int i = 0; i < 2 * probe.level(); ++i) rig.run(probe, *plugin, 1 + probe.random().below(4096));
    std::string summary = "blocks of 0, 1, 7, 4096 and 100000 frames, and " + std::to_string(2 * probe.level()) +
                          " odd sizes below a declared 4096";
    if (probe.breaksContract()) {
        restart(*plugin, 44100.0, 512);
        rig.run(probe, *plugin, 100000);
        probe.step("processing -1 frames");
        rig.run(probe, *plugin, -1);
        plugin->suspend();
        rig.run(probe, *plugin, 512);  // after suspend, before any resume
        summary += "; 100000 frames after declaring 512, -1 frames, processing while suspended";
    }
    probe.pass(summary);
}

}  // namespace vsthost::validation
