// validate's realtime check: processReplacing and setParameter, which hosts call on their audio
// thread, must not allocate, lock or make a system call. The interposed functions count what the
// plug-in calls on this thread while it is inside one of them.
#include <algorithm>
#include <vector>

#include "host/validate/realtime_watch.h"
#include "host/session.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

constexpr int kBlocksPerLevel = 2000;
constexpr int32_t kBlockSizes[] = {32, 64, 128};

// The values each parameter is given in turn: its own value re-sent, a random one, the ends.
float nextValue(Plugin& plugin, int32_t index, int64_t turn, Random& random) {
    switch (turn % 4) {
    case 0: return plugin.parameter(index);
    case 1: return random.unit();
    case 2: return 0.0f;
    default: return 1.0f;
    }
}

}  // namespace

void checkRealtime(Probe& probe) {
    if (!watch::interposed()) {
        probe.pass("skipped: this vsthost was built without its counting allocator (sanitizer builds interpose "
                   "those functions themselves)");
        return;
    }
    HostContext host;
    auto plugin = probe.load(host);
    restart(*plugin, 44100.0, 128);
    const int32_t params = std::max(plugin->numParams(), 0);
    ChannelBuffers in(plugin->numInputs(), 128), out(plugin->numOutputs(), 128);
    for (int32_t c = 0; c < in.channels(); ++c)
        for (int32_t i = 0; i < 128; ++i) in.channel(c)[i] = static_cast<float>(testSignal(i, 44100.0));

    const int blocks = kBlocksPerLevel * probe.level();
    watch::Tally processing;
    int firstCountedBlock = -1;
    std::vector<watch::Tally> setting(static_cast<std::size_t>(params)), triggers(static_cast<std::size_t>(params));
    std::vector<int64_t> calls(static_cast<std::size_t>(params), 0), triggerCalls(calls);
    probe.step("processing " + std::to_string(blocks) + " blocks with a setParameter call after each, counting "
               "allocations, locks and system calls");
    for (int b = 0; b < blocks; ++b) {
        const int32_t frames = kBlockSizes[b % 3];
        watch::Tally block;
        {
            watch::Window window(block);
            plugin->process(in.pointers(), out.pointers(), frames);
        }
        if (!block.empty() && firstCountedBlock < 0) firstCountedBlock = b;
        processing.add(block);
        if (params == 0) continue;

        const int32_t index = b % params;
        const auto i = static_cast<std::size_t>(index);
        const float value = nextValue(*plugin, index, b / params, probe.random());
        const uint64_t requests = host.fileSelectorRequests();
        watch::Tally call;
        {
            watch::Window window(call);
            plugin->setParameter(index, value);
        }
        // A value that makes the plug-in ask for a file is a load: a host expects that to take time.
        const bool trigger = host.fileSelectorRequests() != requests;
        (trigger ? triggers : setting)[i].add(call);
        ++(trigger ? triggerCalls : calls)[i];
    }

    if (!processing.empty())
        probe.fail("processReplacing: " + processing.describe() + " in " + std::to_string(blocks) +
                   " blocks, from block " + std::to_string(firstCountedBlock));
    std::string triggerNote;
    for (int32_t index = 0; index < params; ++index) {
        const auto i = static_cast<std::size_t>(index);
        if (!setting[i].empty())
            probe.fail("setParameter(" + parameterLabel(*plugin, index) + "): " + setting[i].describe() + " in " +
                       std::to_string(calls[i]) + " calls");
        if (triggerCalls[i] > 0) {
            triggerNote += (triggerNote.empty() ? "" : ", ") + std::to_string(index);
            if (!triggers[i].empty()) triggerNote += " (" + triggers[i].describe() + ")";
        }
    }
    if (!triggerNote.empty())
        probe.note("load triggers, not counted: setParameter " + triggerNote +
                   " asked for a file selector (answered as cancelled)");
    probe.pass(std::to_string(blocks) + " blocks of 32 to 128 frames and " + std::to_string(params > 0 ? blocks : 0) +
               " setParameter calls (every parameter re-sent, random, 0 and 1): no allocation, lock or system call");
}

}  // namespace vsthost::validation
