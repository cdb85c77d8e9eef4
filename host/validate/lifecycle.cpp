// validate's lifecycle check: suspend and resume many times, doubled, and start and stop process.
#include <string>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkLifecycle(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    const int cycles = 5 * probe.level();
    for (int i = 0; i < cycles; ++i) {
        probe.step("suspend and resume, cycle " + std::to_string(i));
        plugin->resume();
        rig.run(probe, *plugin, 128);
        plugin->suspend();
    }
    probe.step("resuming twice, suspending twice");
    plugin->resume();
    plugin->resume();
    rig.run(probe, *plugin, 128);
    plugin->suspend();
    plugin->suspend();
    plugin->dispatch(vst::effStartProcess);
    plugin->resume();
    rig.run(probe, *plugin, 128);
    plugin->dispatch(vst::effStopProcess);
    probe.pass(std::to_string(cycles) + " suspend/resume cycles, doubled calls, start/stop process");
}

}  // namespace vsthost::validation
