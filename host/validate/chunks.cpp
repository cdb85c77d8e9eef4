// validate's chunks check: bank and program chunks survive a round trip, also into a second instance,
// and chunks of the wrong size, empty or damaged ones leave a plug-in that still processes.
#include <string>
#include <utility>
#include <vector>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {

void checkChunks(Probe& probe) {
    HostContext host, otherHost;
    auto plugin = probe.load(host);
    Rig rig(44100.0);
    restart(*plugin, 44100.0, 512);
    if (!plugin->hasFlag(vst::effFlagsProgramChunks)) {
        probe.step("effGetChunk on a plug-in without chunks");
        void* data = nullptr;
        plugin->dispatch(vst::effGetChunk, 0, 0, &data);
        probe.pass("the plug-in keeps its state in parameters (no effFlagsProgramChunks)");
        return;
    }
    auto other = probe.load(otherHost);
    restart(*other, 44100.0, 512);
    int wrongSizeChanges = 0;
    for (bool preset : {false, true}) {
        const std::string kind = preset ? "program chunk" : "bank chunk";
        probe.step("effGetChunk for the " + kind);
        const std::vector<uint8_t> original = plugin->chunk(preset);
        if (original.empty()) {
            probe.fail("no " + kind + " although the plug-in declares effFlagsProgramChunks");
            continue;
        }
        probe.step("effSetChunk with its own " + kind);
        plugin->setChunk(original, preset);
        if (auto diff = firstDifference(original, plugin->chunk(preset)); !diff.empty())
            probe.fail("the " + kind + " does not survive a round trip: " + diff);
        probe.step("effSetChunk of the " + kind + " into a second instance");
        other->setChunk(original, preset);
        if (auto diff = firstDifference(original, other->chunk(preset)); !diff.empty())
            probe.fail("a second instance given the " + kind + " gives back another: " + diff);
        rig.run(probe, *other, 512);

        std::vector<std::pair<std::string, std::vector<uint8_t>>> wrong;
        wrong.emplace_back("one byte short", std::vector<uint8_t>(original.begin(), original.end() - 1));
        auto longer = original;
        longer.push_back(0);
        wrong.emplace_back("one byte long", longer);
        wrong.emplace_back("one byte", std::vector<uint8_t>(1, 0x7f));
        for (const auto& [what, data] : wrong) {
            probe.step("effSetChunk with a " + kind + " " + what);
            plugin->setChunk(data, preset);
            rig.run(probe, *plugin, 512);
            if (!firstDifference(original, plugin->chunk(preset)).empty()) ++wrongSizeChanges;
            plugin->setChunk(original, preset);
        }
        probe.step("effSetChunk with a null, empty " + kind);
        plugin->dispatch(vst::effSetChunk, preset ? 1 : 0, 0, nullptr);
        rig.run(probe, *plugin, 512);
        plugin->setChunk(original, preset);

        if (probe.breaksContract())
            for (int i = 0; i < probe.level(); ++i) {
                std::vector<uint8_t> damaged(original.size());
                for (auto& byte : damaged) byte = static_cast<uint8_t>(probe.random().next() >> 56);
                if (i == 1) std::fill(damaged.begin(), damaged.end(), 0xff);  // NaN in every float and double
                probe.step("effSetChunk with a damaged " + kind + " (" + std::to_string(i) + ")");
                plugin->setChunk(damaged, preset);
                for (int b = 0; b < 4; ++b) rig.run(probe, *plugin, 512);
                plugin->setChunk(original, preset);
            }
    }
    if (wrongSizeChanges > 0)
        probe.note(std::to_string(wrongSizeChanges) + " chunks of the wrong size changed the state");
    probe.pass(std::string("bank and program chunks round-trip, also into a second instance; wrong sizes survived") +
               (probe.breaksContract() ? "; damaged chunks survived" : ""));
}

}  // namespace vsthost::validation
