// validate's silence check: a plug-in whose state decays into denormal numbers once the input stops
// costs more CPU on silence than on signal, exactly when a session has many idle tracks. Three
// instances in one setting, one fed a guitar-like signal, one exact zeros on every input, one zeros on
// all but the first, are timed in alternation; the best of several runs counts, since a busy machine
// only ever adds time.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "host/guitar_riff.h"
#include "host/session.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr double kSignalSeconds = 0.5;  // every instance plays the signal first, so there is state to decay
constexpr double kRunSeconds = 0.25;
constexpr double kLimit = 1.3;
// Below 2 ms per audio second (0.2 % of a core) a plug-in is too cheap on silence to matter, and too
// cheap to time reliably.
constexpr double kNegligible = 0.002;

std::string fixed(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// This thread's CPU time: the three instances share the process, so its total would charge one the
// work of another's background threads.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

enum Feed { kGuitar, kSilence, kFirstOnly, kFeeds };
const char* const kFeedNames[kFeeds] = {"the guitar signal", "silence on every input", "silence on all inputs but the first"};

class Instance {
public:
    Instance(Probe& probe, Feed feed, const std::vector<std::pair<int32_t, float>>& setting, const std::vector<float>& riff)
        : feed_(feed), riff_(riff) {
        plugin_ = probe.load(host_);
        restart(*plugin_, kRate, kBlock);
        for (const auto& [index, value] : setting) plugin_->setParameter(index, value);
        in_ = std::make_unique<ChannelBuffers>(plugin_->numInputs(), kBlock);
        out_ = std::make_unique<ChannelBuffers>(plugin_->numOutputs(), kBlock);
    }

    // Processes `seconds` of its feed (the signal on every input while `signal`), returns the CPU time.
    double run(double seconds, bool signal) {
        const auto frames = static_cast<int64_t>(seconds * kRate);
        const double start = cpuSeconds();
        for (int64_t done = 0; done < frames; done += kBlock) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(kBlock, frames - done));
            for (int32_t c = 0; c < in_->channels(); ++c) {
                float* channel = in_->channel(c);
                if (signal || feed_ == kGuitar || (feed_ == kFirstOnly && c == 0))
                    for (int32_t i = 0; i < n; ++i) channel[i] = riff_[static_cast<std::size_t>((clock_ + i) % static_cast<int64_t>(riff_.size()))];
                else
                    std::fill(channel, channel + n, 0.0f);
            }
            plugin_->process(in_->pointers(), out_->pointers(), n);
            clock_ += n;
        }
        return cpuSeconds() - start;
    }

private:
    Feed feed_;
    const std::vector<float>& riff_;
    HostContext host_;
    std::unique_ptr<Plugin> plugin_;
    std::unique_ptr<ChannelBuffers> in_, out_;
    int64_t clock_ = 0;
};

struct Setting {
    std::string name;
    std::vector<std::pair<int32_t, float>> values;
};

}  // namespace

void checkSilence(Probe& probe) {
    int32_t inputs = 0, params = 0;
    {
        HostContext host;
        auto plugin = probe.load(host);
        inputs = plugin->numInputs();
        params = plugin->numParams();
    }
    if (inputs <= 0) {
        probe.pass("skipped: the plug-in has no inputs");
        return;
    }
    // The plug-in as loaded, every parameter at its top (switches on: stereo, high quality and the
    // like), and random settings.
    std::vector<Setting> settings(1, {"as loaded", {}});
    if (params > 0) {
        Setting top{"every parameter at 1", {}};
        for (int32_t i = 0; i < params; ++i) top.values.emplace_back(i, 1.0f);
        settings.push_back(top);
        for (int r = 0; r < probe.level() / 4; ++r) {
            Setting random{"random setting " + std::to_string(r + 1), {}};
            for (int32_t i = 0; i < params; ++i) random.values.emplace_back(i, probe.random().unit());
            settings.push_back(random);
        }
    }
    const int runs = 4 + probe.level();
    const double decaySeconds = 2.0 + 0.4 * probe.level();
    const int feeds = inputs >= 2 ? kFeeds : kFirstOnly;
    const std::vector<float> riff = guitarRiff(kRate, riffSeconds());

    double worstRatio = 0.0, guitarCost = 0.0;
    for (const Setting& setting : settings) {
        probe.step("timing silence against the guitar signal, " + setting.name);
        std::vector<std::unique_ptr<Instance>> instances;
        for (int f = 0; f < feeds; ++f) instances.push_back(std::make_unique<Instance>(probe, Feed(f), setting.values, riff));
        for (auto& instance : instances) instance->run(kSignalSeconds, true);
        // Silence, unmeasured, long enough for filter states to decay into denormal numbers: seconds,
        // where the slowest decays take that long.
        for (std::size_t f = kSilence; f < instances.size(); ++f) instances[f]->run(decaySeconds, false);
        std::vector<double> best(static_cast<std::size_t>(feeds), std::numeric_limits<double>::infinity());
        for (int r = 0; r < runs; ++r)
            for (int k = 0; k < feeds; ++k) {
                const auto f = static_cast<std::size_t>((r + k) % feeds);  // each feed goes first in turn
                best[f] = std::min(best[f], instances[f]->run(kRunSeconds, false) / kRunSeconds);
            }
        for (int f = kSilence; f < feeds; ++f) {
            const double silence = best[static_cast<std::size_t>(f)], guitar = best[kGuitar];
            const double ratio = silence / std::max(guitar, 1e-12);
            if (ratio > kLimit && silence > kNegligible)
                probe.fail(setting.name + ": " + kFeedNames[f] + " costs " + fixed(ratio, 2) + " times the guitar signal (" +
                           fixed(silence * 1e3, 1) + " against " + fixed(guitar * 1e3, 1) + " ms of CPU per audio second)");
            if (ratio > worstRatio) {
                worstRatio = ratio;
                guitarCost = guitar;
            }
        }
    }
    probe.pass("silence (on every input" + std::string(feeds == kFeeds ? ", and on all inputs but the first" : "") +
               ") costs at most " + fixed(worstRatio, 2) + " times the guitar signal (" + fixed(guitarCost * 1e3, 1) +
               " ms of CPU per audio second there), best of " + std::to_string(runs) + " alternating runs of " +
               number(kRunSeconds) + " s after " + number(decaySeconds) + " s of silence, in " +
               plural(static_cast<long>(settings.size()), "setting") + "; the limit is " + number(kLimit) +
               " times, above " + number(kNegligible * 1e3) + " ms per audio second");
}

}  // namespace vsthost::validation
