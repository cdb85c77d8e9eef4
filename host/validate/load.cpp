// validate's load check: the plug-in loads, tells plausible counts and closes, again and again.
#include <string>

#include "host/four_char_text.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkLoad(Probe& probe) {
    const int loads = 1 + probe.level();
    std::string identity;
    for (int i = 0; i < loads; ++i) {
        HostContext host;
        auto plugin = probe.load(host);
        const vst::AEffect& e = plugin->effect();
        if (e.numInputs < 0 || e.numInputs > 256 || e.numOutputs < 0 || e.numOutputs > 256)
            probe.fail("implausible channel counts " + std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out");
        if (e.numParams < 0 || e.numPrograms < 0) probe.fail("negative parameter or program count");
        if (i == 0)
            identity = "'" + plugin->effectName() + "' by '" + plugin->vendor() + "', " + fourCharText(e.uniqueID) + ", " +
                       std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out, " +
                       std::to_string(e.numParams) + " parameters, " + std::to_string(e.numPrograms) + " programs";
        probe.step("closing the plug-in (load " + std::to_string(i + 1) + ")");
    }
    probe.pass(identity + "; loaded and closed " + std::to_string(loads) + " times");
}

}  // namespace vsthost::validation
