// validate's in-place check: processing with the outputs on the inputs' buffers gives what separate
// buffers give.
#include <algorithm>
#include <string>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

// A third instance with separate buffers tells an in-place fault from a plug-in that is simply not
// deterministic (random modulation, say).
void checkInPlace(Probe& probe) {
    HostContext hostA, hostB, hostC;
    auto separate = probe.load(hostA);
    auto inPlace = probe.load(hostB);
    auto reference = probe.load(hostC);
    if (!inPlace->hasFlag(vst::effFlagsCanReplacing)) {
        probe.pass("skipped: the plug-in does not process replacing");
        return;
    }
    for (Plugin* p : {separate.get(), inPlace.get(), reference.get()}) restart(*p, 44100.0, 512);
    Rig rigA(44100.0), rigB(44100.0), rigC(44100.0);
    double worst = 0.0, spread = 0.0, peak = 0.0;
    const int blocks = 10 * probe.level();
    for (int b = 0; b < blocks; ++b) {
        rigA.run(probe, *separate, 512);
        rigB.run(probe, *inPlace, 512, true);
        rigC.run(probe, *reference, 512);
        worst = std::max(worst, largestDifference(rigA.lastOutput(), rigB.lastOutput(), peak));
        spread = std::max(spread, largestDifference(rigA.lastOutput(), rigC.lastOutput(), peak));
    }
    const double tolerance = 1e-6 * std::max(1.0, peak);
    if (spread > tolerance) {
        probe.pass("not comparable: two identical instances differ by up to " + number(spread) +
                   " (the plug-in is not deterministic); in-place processing ran without faults");
        return;
    }
    if (worst > tolerance)
        probe.fail("in-place output differs from separate buffers by up to " + number(worst));
    probe.pass(std::to_string(blocks) + " blocks in place match separate buffers (largest difference " + number(worst) + ")");
}

}  // namespace vsthost::validation
