// validate's parameter-texts check: every parameter's name, label and display at the ends, the middle
// and random values, each text within the host's buffer, and the value read back within 0..1.
#include <cmath>
#include <string>
#include <vector>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkParameterTexts(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const int32_t n = plugin->numParams();
    std::vector<float> values = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < probe.level(); ++i) values.push_back(probe.random().unit());
    int32_t longNames = 0;
    for (int32_t index = 0; index < n; ++index) {
        const float initial = plugin->parameter(index);
        const std::string named = parameterLabel(*plugin, index);
        for (float v : values) {
            const std::string call = "setParameter(" + named + ", " + number(v) + ")";
            probe.step(call + " and its texts");
            probe.setSubject("parameter " + named, call);
            plugin->setParameter(index, v);
            const float got = plugin->parameter(index);
            if (!std::isfinite(got) || got < 0.0f || got > 1.0f)
                probe.fail("getParameter(" + std::to_string(index) + ") answers " + number(got) + " after a value of " +
                           number(v));
            if (textCall(probe, *plugin, vst::effGetParamName, index).size() > vst::kVstMaxParamStrLen && v == 0.0f)
                ++longNames;
            textCall(probe, *plugin, vst::effGetParamLabel, index);
            textCall(probe, *plugin, vst::effGetParamDisplay, index);
        }
        plugin->setParameter(index, initial);
    }
    probe.setSubject({}, {});
    if (probe.breaksContract())
        for (int32_t index : {-1, n, n + 1000}) {
            probe.step("texts and values of parameter index " + std::to_string(index) + ", out of range");
            textCall(probe, *plugin, vst::effGetParamName, index);
            textCall(probe, *plugin, vst::effGetParamLabel, index);
            textCall(probe, *plugin, vst::effGetParamDisplay, index);
            plugin->setParameter(index, 0.5f);
            (void)plugin->parameter(index);
        }
    if (longNames > 0)
        probe.note(std::to_string(longNames) + " names longer than the interface's " +
                   std::to_string(vst::kVstMaxParamStrLen) + " characters");
    probe.pass(std::to_string(n) + " parameters, names, labels and displays at " + std::to_string(values.size()) + " values");
}

}  // namespace vsthost::validation
