// validate's opcodes check: every opcode 0..79 once, as its row in the table says, then processing.
#include "host/validate/checks.h"
#include "host/validate/opcode_table.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkOpcodes(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    for (const OpcodeRow& row : opcodeTable()) {
        probe.step(std::string("dispatching ") + row.name);
        sendRow(probe, *plugin, row);
    }
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    for (int i = 0; i < 3; ++i) rig.run(probe, *plugin, 512);
    probe.pass("opcodes 0..79 dispatched (effEditOpen skipped: it needs a window; effClose closes)");
}

}  // namespace vsthost::validation
