// validate's sample-rates check: rates from 1 Hz to 192 kHz and back, with processing at each.
#include <string>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkSampleRates(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    const double rates[] = {44100, 8000, 11025, 16000, 22050, 32000, 48000, 50000, 88200,
                            96000, 176400, 192000, 1, 44100, 192000, 22050, 44100};
    Rig rig(44100.0);
    for (double rate : rates) {
        probe.step("changing the sample rate to " + number(rate));
        restart(*plugin, rate, 512);
        rig.setRate(rate);
        for (int b = 0; b < probe.level(); ++b) rig.run(probe, *plugin, 512);
    }
    probe.pass("sample rates 8000..192000, 1, 50000 and back, " + std::to_string(probe.level()) + " blocks each");
}

}  // namespace vsthost::validation
