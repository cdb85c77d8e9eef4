// validate's programs check: every program switched to, forwards and backwards, its name read and
// processing between; at the contract level out-of-range programs and an over-long name.
#include <algorithm>
#include <string>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkPrograms(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const int32_t count = plugin->numPrograms();
    if (count <= 0) {
        probe.pass("the plug-in has no programs");
        return;
    }
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    const int32_t shown = std::min(count, 1000);
    const int rounds = 1 + probe.level() / 3;
    for (int r = 0; r < rounds; ++r)
        for (int32_t i = 0; i < shown; ++i) {
            const int32_t p = r % 2 ? shown - 1 - i : i;
            probe.step("switching to program " + std::to_string(p));
            plugin->setProgram(p);
            if (plugin->program() != p)
                probe.fail("effGetProgram answers " + std::to_string(plugin->program()) + " after switching to " + std::to_string(p));
            textCall(probe, *plugin, vst::effGetProgramName, 0);
            textCall(probe, *plugin, vst::effGetProgramNameIndexed, p);
            rig.run(probe, *plugin, 256);
        }
    std::string summary = std::to_string(shown) + " programs switched " + std::to_string(rounds) + " times with processing";
    if (probe.breaksContract()) {
        for (int32_t p : {-1, count, count + 1000}) {
            probe.step("switching to program " + std::to_string(p) + ", out of range");
            plugin->setProgram(p);
            textCall(probe, *plugin, vst::effGetProgramNameIndexed, p);
            rig.run(probe, *plugin, 256);
        }
        char longName[64] = "a program name longer than twenty-four characters";
        plugin->dispatch(vst::effSetProgramName, 0, 0, longName);
        textCall(probe, *plugin, vst::effGetProgramName, 0);
        summary += "; out-of-range programs and an over-long name";
    }
    probe.pass(summary);
}

}  // namespace vsthost::validation
