// validate's resend check: hosts re-send values all the time (automation playback, session restore,
// generic editors), so a value set to what it already is must change nothing audible. Two instances
// are fed identically; one gets the re-send, and their outputs must stay equal sample for sample.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr double kSettleSeconds = 0.25;

int32_t blocksFor(double seconds) { return static_cast<int32_t>(std::ceil(seconds * kRate / kBlock)); }
std::string milliseconds(int64_t frames) { return number(std::round(1000.0 * static_cast<double>(frames) / kRate)) + " ms"; }

struct Instance {
    std::unique_ptr<HostContext> host = std::make_unique<HostContext>();
    std::unique_ptr<Plugin> plugin;
    Rig rig{kRate};
};

// The two instances, loaded and brought into one setting by identical calls.
struct Twins {
    Instance a, b;  // a gets the re-sends

    Twins(Probe& probe, const std::vector<std::pair<int32_t, float>>& setting, int32_t program) {
        for (Instance* i : {&a, &b}) {
            i->plugin = probe.load(*i->host);
            restart(*i->plugin, kRate, kBlock);
            if (program >= 0) i->plugin->setProgram(program);
            for (const auto& [index, value] : setting) i->plugin->setParameter(index, value);
        }
    }
};

// Where two runs of blocks differ: the largest difference, and the frames it spans from the start.
struct Difference {
    double largest = 0.0;
    int64_t first = -1, last = -1;
    bool any() const { return first >= 0; }
};

Difference runBoth(Probe& probe, Twins& twins, int32_t blocks) {
    Difference d;
    for (int32_t b = 0; b < blocks; ++b) {
        twins.a.rig.run(probe, *twins.a.plugin, kBlock);
        twins.b.rig.run(probe, *twins.b.plugin, kBlock);
        const auto& x = twins.a.rig.lastOutput();
        const auto& y = twins.b.rig.lastOutput();
        for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
            if (x[i] == y[i]) continue;
            const int64_t frame = int64_t{b} * kBlock + static_cast<int64_t>(i % kBlock);
            if (d.first < 0 || frame < d.first) d.first = frame;
            d.last = std::max(d.last, frame);
            const double delta = std::abs(static_cast<double>(x[i]) - y[i]);
            d.largest = std::max(d.largest, std::isnan(delta) ? INFINITY : delta);
        }
    }
    return d;
}

enum class Call { Parameter, Program, ProgramChunk, BankChunk, SampleRate };

struct Target {
    explicit Target(Call c, int32_t i = 0) : call(c), index(i) {}
    Call call;
    int32_t index;
    std::string what;  // filled in when the call is made, with the value sent
    // What the re-sends of this target did, over all settings.
    int settingsChanged = 0;
    Difference worst;
    bool loadTrigger = false;
};

// Reads the current value from both instances, as a host reading its own state would, and sends it
// back to the first. Returns false when there is nothing to send (no chunk).
bool resend(Twins& twins, Target& target) {
    Plugin& a = *twins.a.plugin;
    Plugin& b = *twins.b.plugin;
    const std::string index = parameterLabel(a, target.index);
    switch (target.call) {
    case Call::Parameter: {
        const float value = a.parameter(target.index);
        (void)b.parameter(target.index);
        target.what = "setParameter(" + index + ") re-sent with its current value " + number(value);
        a.setParameter(target.index, value);
        return true;
    }
    case Call::Program: {
        const int32_t program = a.program();
        (void)b.program();
        target.what = "effSetProgram(" + std::to_string(program) + "), the current program,";
        a.setProgram(program);
        return true;
    }
    case Call::ProgramChunk:
    case Call::BankChunk: {
        const bool preset = target.call == Call::ProgramChunk;
        const std::vector<uint8_t> chunk = a.chunk(preset);
        (void)b.chunk(preset);
        if (chunk.empty()) return false;
        target.what = std::string("effSetChunk with its own ") + (preset ? "program" : "bank") + " chunk";
        a.setChunk(chunk, preset);
        return true;
    }
    case Call::SampleRate:
        target.what = "effSetSampleRate(" + number(kRate) + "), the current rate,";
        a.setSampleRate(kRate);
        return true;
    }
    return false;
}

}  // namespace

void checkResend(Probe& probe) {
    const int rounds = 1 + probe.level() / 3;
    const double windowSeconds = 0.2 + 0.03 * probe.level();
    const int32_t window = blocksFor(windowSeconds);
    const int32_t settle = blocksFor(kSettleSeconds);

    std::vector<Target> targets;
    {
        HostContext host;
        auto plugin = probe.load(host);
        for (int32_t i = 0; i < plugin->numParams(); ++i) targets.emplace_back(Call::Parameter, i);
        if (plugin->numPrograms() > 0) targets.emplace_back(Call::Program);
        if (plugin->hasFlag(vst::effFlagsProgramChunks)) {
            targets.emplace_back(Call::ProgramChunk);
            targets.emplace_back(Call::BankChunk);
        }
        targets.emplace_back(Call::SampleRate);
    }

    for (int round = 0; round < rounds; ++round) {
        // The first setting is the plug-in as loaded; the others a program and random values.
        std::vector<std::pair<int32_t, float>> setting;
        int32_t program = -1;
        if (round > 0) {
            HostContext host;
            auto plugin = probe.load(host);
            if (plugin->numPrograms() > 0) program = round % plugin->numPrograms();
            for (int32_t i = 0; i < plugin->numParams(); ++i) setting.emplace_back(i, probe.random().unit());
        }
        auto twins = std::make_unique<Twins>(probe, setting, program);
        probe.step("two instances in setting " + std::to_string(round) + ", fed identically");
        if (runBoth(probe, *twins, settle).any()) {
            probe.pass("not comparable: two instances fed identically differ (the plug-in is not deterministic)");
            return;
        }
        for (Target& target : targets) {
            const uint64_t requests = twins->a.host->fileSelectorRequests();
            if (!resend(*twins, target)) continue;
            probe.step(target.what + " in setting " + std::to_string(round));
            const bool trigger = twins->a.host->fileSelectorRequests() != requests;
            const Difference d = runBoth(probe, *twins, window);
            if (trigger) target.loadTrigger = true;
            if (!d.any()) continue;
            if (!trigger) {
                ++target.settingsChanged;
                if (d.largest > target.worst.largest || !target.worst.any()) target.worst = d;
            }
            // The instances no longer match; later targets start again from a matching pair.
            twins.reset();
            twins = std::make_unique<Twins>(probe, setting, program);
            runBoth(probe, *twins, settle);
        }
    }

    const int64_t windowFrames = int64_t{window} * kBlock;
    std::string triggers;
    for (const Target& target : targets) {
        if (target.loadTrigger) triggers += (triggers.empty() ? "" : ", ") + std::to_string(target.index);
        if (target.settingsChanged == 0) continue;
        const Difference& d = target.worst;
        // A difference still there in the last block compared is taken to last.
        const std::string span = d.last >= windowFrames - kBlock
                                     ? "from " + milliseconds(d.first) + " after the call to the end of the " +
                                           milliseconds(windowFrames) + " compared"
                                     : "from " + milliseconds(d.first) + " to " + milliseconds(d.last + 1) + " after the call";
        probe.fail(target.what + " changed the output by up to " + number(d.largest) + ", " + span + " (in " +
                   std::to_string(target.settingsChanged) + " of " + plural(rounds, "setting") + ")");
    }
    if (!triggers.empty())
        probe.note("re-sending parameter " + triggers + " asked for a file selector (a load trigger; not compared)");
    std::string sent;
    for (const Target& target : targets)
        if (target.call != Call::Parameter)
            sent += std::string(", ") + (target.call == Call::Program        ? "the current program"
                                         : target.call == Call::ProgramChunk ? "its program chunk"
                                         : target.call == Call::BankChunk    ? "its bank chunk"
                                                                             : "the current rate");
    const auto params = std::count_if(targets.begin(), targets.end(), [](const Target& t) { return t.call == Call::Parameter; });
    probe.pass("re-sent mid-stream in " + plural(rounds, "setting") + ": the current value of " + plural(params, "parameter") +
               sent + "; the output stayed identical, sample for sample, for " + milliseconds(windowFrames) + " after each");
}

}  // namespace vsthost::validation
