// validate's parameter-sweep check: every parameter through values a careless host sends (outside
// 0..1, NaN, infinities) with processing after each, then all at random.
#include <limits>
#include <string>
#include <vector>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkParameterSweep(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    const int32_t n = plugin->numParams();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {0.0f, 1.0f, 0.5f, -1.0f, 2.0f, -0.0f, 1e-40f, 1e30f, -1e30f,
                                 std::numeric_limits<float>::quiet_NaN(), inf, -inf};
    for (int i = 0; i < probe.level(); ++i) values.push_back(probe.random().unit());
    for (int32_t index = 0; index < n; ++index) {
        const float initial = plugin->parameter(index);
        const std::string named = parameterLabel(*plugin, index);
        for (float v : values) {
            const std::string call = "setParameter(" + named + ", " + number(v) + ")";
            probe.step(call);
            probe.setSubject("parameter " + named, call);
            plugin->setParameter(index, v);
            rig.run(probe, *plugin, 64);
        }
        plugin->setParameter(index, initial);
        rig.run(probe, *plugin, 64);
    }
    const int rounds = 2 * probe.level();
    for (int r = 0; r < rounds; ++r) {
        const std::string round = "all parameters at random values, round " + std::to_string(r);
        probe.step(round);
        probe.setSubject("all parameters at random values", "round " + std::to_string(r));
        for (int32_t index = 0; index < n; ++index) plugin->setParameter(index, probe.random().unit());
        for (int b = 0; b < 4; ++b) rig.run(probe, *plugin, 256);
    }
    probe.setSubject({}, {});
    probe.pass(std::to_string(n) + " parameters swept through " + std::to_string(values.size()) +
               " values (outside 0..1, NaN, infinities), " + std::to_string(rounds) + " random settings");
}

}  // namespace vsthost::validation
