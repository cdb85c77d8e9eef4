// validate's threads check: a second thread calls the interface as hosts do from their other threads
// (parameters, programs, chunks, sample rates) while the first processes without pause. Nothing may
// crash, the output must stay finite and bounded, and it must carry signal again soon after.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "host/session.h"
#include "host/validate/checks.h"
#include "host/validate/probe.h"

namespace vsthost::validation {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
// No normal effect output comes near +30 dBFS; a race that reads half-built state easily goes far
// beyond. Parameters changed at every sample, as the second thread changes them, legitimately reach
// well above a plug-in's normal peak (the preamp, 1.5 normally, passes 20 with random values set from
// one thread between blocks), so the bound leaves room for that. A plug-in whose own settings go
// louder still (an equaliser at full boost) gets twice its own loudest.
constexpr float kBound = 32.0f;
constexpr int kCalibrationSettings = 16;
constexpr int32_t kClimbedParameters = 128;  // bounds the calibration's time for plug-ins with many parameters
constexpr double kOtherRates[] = {22050.0, 48000.0, 88200.0, 96000.0};
constexpr double kRecoverySeconds = 1.0;
constexpr int32_t kLevelWindow = 4 * kBlock;  // about 46 ms, over which signal level is measured
constexpr double kRecoveredLevel = 0.1;       // of the level before the hammering

enum CallKind { kSet, kResend, kProgram, kSetChunk, kGetChunk, kSetRate, kRestore, kCallKinds };
const char* const kCallNames[kCallKinds] = {"setParameter", "setParameter", "effSetProgram", "effSetChunk",
                                            "effGetChunk", "effSetSampleRate", "restoring the first state"};
const char* const kChunkNames[4] = {"its own program chunk", "its own bank chunk", "another instance's program chunk",
                                    "another instance's bank chunk"};
// The second thread widens its calls in three phases, so that a crash on sample rates does not hide
// whether parameters, programs and chunks alone are safe. Its picks run below each phase's limit.
constexpr int kPhases = 3;
constexpr int32_t kPhaseLimit[kPhases] = {60, 85, 100};
const char* const kPhaseNames[kPhases] = {"setParameter", "setParameter, programs and chunks",
                                          "setParameter, programs, chunks and sample rates"};
std::atomic<int> currentPhase{0};

// The second thread's latest call, readable from a signal handler.
struct LastCall {
    std::atomic<int> kind{-1};
    std::atomic<int64_t> argument{0};
};
LastCall lastCall;
int reportFd = -1;

void appendText(char* out, std::size_t& at, std::size_t room, const char* text) {
    while (*text && at + 1 < room) out[at++] = *text++;
}
void appendNumber(char* out, std::size_t& at, std::size_t room, int64_t v) {
    char digits[24];
    int n = 0;
    const bool negative = v < 0;
    uint64_t u = negative ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u > 0);
    if (negative && at + 1 < room) out[at++] = '-';
    while (n > 0 && at + 1 < room) out[at++] = digits[--n];
}

// Writes the second thread's latest call into `out`, without allocating (it runs in a signal handler).
std::size_t describeLastCall(char* out, std::size_t room) {
    std::size_t at = 0;
    const int kind = lastCall.kind.load();
    const int64_t argument = lastCall.argument.load();
    if (kind < 0 || kind >= kCallKinds) {
        appendText(out, at, room, "none yet");
    } else if (kind == kSetChunk || kind == kGetChunk) {
        appendText(out, at, room, kCallNames[kind]);
        appendText(out, at, room, kind == kSetChunk ? " with " : " of ");
        appendText(out, at, room, kChunkNames[std::clamp<int64_t>(argument, 0, 3)]);
    } else {
        appendText(out, at, room, kCallNames[kind]);
        if (kind != kRestore) {
            appendText(out, at, room, "(");
            appendNumber(out, at, room, argument);
            appendText(out, at, room, ")");
        }
        if (kind == kResend) appendText(out, at, room, " with the value it holds");
    }
    out[at] = '\0';
    return at;
}

// On a crash, tells the parent what the second thread did last; the default action then ends the child.
void onCrash(int) {
    char line[256];
    std::size_t at = 0;
    appendText(line, at, sizeof line, "S\tprocessing while a second thread calls ");
    appendText(line, at, sizeof line, kPhaseNames[std::clamp(currentPhase.load(), 0, kPhases - 1)]);
    appendText(line, at, sizeof line, " (its last call: ");
    at += describeLastCall(line + at, sizeof line - at);
    appendText(line, at, sizeof line, ")\n");
    if (write(reportFd, line, at) < 0) return;
}

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL};

// While the second thread runs, a crash reports its last call.
void watchCrashes(int fd, bool on) {
    reportFd = fd;
    struct sigaction action {};
    action.sa_handler = on ? onCrash : SIG_DFL;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kCrashSignals) sigaction(sig, &action, nullptr);
}

struct Snapshot {
    int32_t program = 0;
    std::vector<float> params;
    std::vector<uint8_t> chunks[4];  // indexed as kChunkNames
};

// The second thread's calls, one at a time, each announced for a crash report.
class Caller {
public:
    Caller(Plugin& plugin, const Snapshot& snapshot, uint64_t seed)
        : plugin_(plugin), snapshot_(snapshot), random_(seed),
          params_(plugin.numParams()), programs_(plugin.numPrograms()), chunks_(!snapshot.chunks[1].empty()) {}

    // One call of the kinds below `limit` (a phase's); one the plug-in has no use for (no parameters,
    // programs or chunks) is skipped, not replaced by one of a later phase.
    void call(int32_t limit) {
        const int32_t pick = random_.below(limit);
        if (pick < 40) {
            if (params_ == 0) return;
            const int32_t index = random_.below(params_);
            mark(kSet, index);
            plugin_.setParameter(index, random_.unit());
        } else if (pick < 60) {
            if (params_ == 0) return;
            const int32_t index = random_.below(params_);
            mark(kResend, index);
            plugin_.setParameter(index, plugin_.parameter(index));
        } else if (pick < 70) {
            if (programs_ <= 0) return;
            const int32_t program = random_.below(2) ? plugin_.program() : random_.below(programs_);
            mark(kProgram, program);
            plugin_.setProgram(program);
        } else if (pick < 80) {
            if (!chunks_) return;
            const int32_t which = random_.below(4);
            mark(kSetChunk, which);
            plugin_.setChunk(snapshot_.chunks[which], which % 2 == 0);
        } else if (pick < 85) {
            if (!chunks_) return;
            const int32_t which = random_.below(2);
            mark(kGetChunk, which);
            (void)plugin_.chunk(which == 0);
        } else if (pick < 95) {
            const double rate = random_.below(2) ? kRate : kOtherRates[random_.below(4)];
            mark(kSetRate, static_cast<int64_t>(rate));
            plugin_.setSampleRate(rate);
        }
    }

    // As a host restores a session: the program, every value, then the state chunk.
    void restore() {
        mark(kRestore, 0);
        plugin_.setSampleRate(kRate);
        if (programs_ > 0) plugin_.setProgram(snapshot_.program);
        for (int32_t i = 0; i < params_; ++i) plugin_.setParameter(i, snapshot_.params[static_cast<std::size_t>(i)]);
        if (chunks_) plugin_.setChunk(snapshot_.chunks[1], false);
    }

    const uint64_t* counts() const { return counts_; }

private:
    void mark(CallKind kind, int64_t argument) {
        ++counts_[kind];
        lastCall.argument = argument;
        lastCall.kind = kind;
    }

    Plugin& plugin_;
    const Snapshot& snapshot_;
    Random random_;
    int32_t params_, programs_;
    bool chunks_;
    uint64_t counts_[kCallKinds] = {};
};

class Hammer {
public:
    Hammer(Plugin& plugin, const Snapshot& snapshot, uint64_t seed) : caller_(plugin, snapshot, seed) {}

    void start() {
        thread_ = std::thread([this] {
            while (!stop_) caller_.call(kPhaseLimit[currentPhase.load()]);
            caller_.restore();
        });
    }
    // Ends the hammering with the calls that bring back the first state, and waits for them.
    void finish() {
        stop_ = true;
        thread_.join();
    }
    const uint64_t* counts() const { return caller_.counts(); }

private:
    Caller caller_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

// The audio side: blocks of the test signal, every output sample checked against the bound.
class AudioThread {
public:
    AudioThread(Plugin& plugin, float bound)
        : plugin_(plugin), bound_(bound), in_(plugin.numInputs(), kBlock), out_(plugin.numOutputs(), kBlock) {}

    // Processes `frames` in blocks of 1 to 512 frames (all of 512 when `steady`), returns the mean square
    // of each 2048-frame window.
    std::vector<double> process(int64_t frames, bool steady, Random& random) {
        std::vector<double> levels;
        double sum = 0.0;
        int64_t inWindow = 0;
        for (int64_t done = 0; done < frames;) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(steady ? kBlock : 1 + random.below(kBlock), frames - done));
            block(n);
            for (int32_t c = 0; c < out_.channels(); ++c)
                for (int32_t i = 0; i < n; ++i) sum += static_cast<double>(out_.channel(c)[i]) * out_.channel(c)[i];
            inWindow += n;
            if (inWindow >= kLevelWindow) {
                levels.push_back(sum / static_cast<double>(inWindow * std::max(out_.channels(), 1)));
                sum = 0.0;
                inWindow = 0;
            }
            done += n;
        }
        return levels;
    }

    int64_t processedFrames() const { return clock_; }
    void forget() {
        peak_ = 0.0f;
        outOfBound_ = nonFinite_ = 0;
        firstFault_.clear();
    }
    float peak() const { return peak_; }
    int64_t outOfBound() const { return outOfBound_; }
    int64_t nonFinite() const { return nonFinite_; }
    const std::string& firstFault() const { return firstFault_; }

private:
    void block(int32_t n) {
        for (int32_t c = 0; c < in_.channels(); ++c)
            for (int32_t i = 0; i < n; ++i) in_.channel(c)[i] = static_cast<float>(testSignal(clock_ + i, kRate));
        plugin_.process(in_.pointers(), out_.pointers(), n);
        for (int32_t c = 0; c < out_.channels(); ++c)
            for (int32_t i = 0; i < n; ++i) {
                const float v = out_.channel(c)[i];
                const bool finite = std::isfinite(v);
                if (finite && std::abs(v) <= bound_) {
                    peak_ = std::max(peak_, std::abs(v));
                    continue;
                }
                ++(finite ? outOfBound_ : nonFinite_);
                if (finite) peak_ = std::max(peak_, std::abs(v));
                if (firstFault_.empty()) {
                    char call[160];
                    describeLastCall(call, sizeof call);
                    firstFault_ = (finite ? "first " + number(v) : std::string("first non-finite")) + " at " +
                                  number(static_cast<double>(clock_ + i) / kRate) +
                                  " s of audio, the other thread's last call: " + call;
                }
            }
        clock_ += n;
    }

    Plugin& plugin_;
    float bound_;
    ChannelBuffers in_, out_;
    int64_t clock_ = 0;
    float peak_ = 0.0f;
    int64_t outOfBound_ = 0, nonFinite_ = 0;
    std::string firstFault_;
};

Snapshot snapshot(Probe& probe, Plugin& plugin) {
    Snapshot s;
    s.program = plugin.numPrograms() > 0 ? plugin.program() : 0;
    for (int32_t i = 0; i < plugin.numParams(); ++i) s.params.push_back(plugin.parameter(i));
    if (!plugin.hasFlag(vst::effFlagsProgramChunks)) return s;
    s.chunks[0] = plugin.chunk(true);
    s.chunks[1] = plugin.chunk(false);
    // Another's chunks: a second instance in another program with random values.
    HostContext host;
    auto other = probe.load(host);
    if (other->numPrograms() > 1) other->setProgram(other->numPrograms() - 1);
    for (int32_t i = 0; i < other->numParams(); ++i) other->setParameter(i, probe.random().unit());
    s.chunks[2] = other->chunk(true);
    s.chunks[3] = other->chunk(false);
    if (s.chunks[0].empty() || s.chunks[1].empty()) {  // chunks in name only: the hammer leaves them out
        s.chunks[0].clear();
        s.chunks[1].clear();
    }
    if (s.chunks[2].empty()) s.chunks[2] = s.chunks[0];
    if (s.chunks[3].empty()) s.chunks[3] = s.chunks[1];
    return s;
}

// The loudest the plug-in gets on the test signal by itself, one thread only: in the settings it loads
// with, with every parameter at 0 and at 1, in random settings like those the second thread makes, and
// then, climbing from the first three and the loudest random one, each parameter moved to whichever end is
// louder (levels and pans are loudest together at their ends, a combination random settings rarely hit).
float ownPeak(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    restart(*plugin, kRate, kBlock);
    AudioThread audio(*plugin, std::numeric_limits<float>::infinity());
    Random sizes(0x5eed0004u);
    audio.process(kBlock, true, sizes);  // the first block after resume is start-up, not a setting
    const int32_t params = plugin->numParams();
    using Setting = std::vector<float>;
    auto apply = [&](const Setting& setting) {
        for (int32_t i = 0; i < params; ++i) plugin->setParameter(i, setting[static_cast<std::size_t>(i)]);
    };
    // Read back rather than remembered: a switch may recall other parameters (a channel its own knobs).
    auto current = [&] {
        Setting setting(static_cast<std::size_t>(params));
        for (int32_t i = 0; i < params; ++i) setting[static_cast<std::size_t>(i)] = plugin->parameter(i);
        return setting;
    };
    // The peak of the setting the plug-in is in, or -1 when it gives non-finite output.
    auto measure = [&] {
        audio.forget();
        audio.process(static_cast<int64_t>(0.1 * kRate), true, sizes);
        return audio.nonFinite() == 0 ? audio.peak() : -1.0f;
    };
    std::vector<std::pair<float, Setting>> starts;
    starts.emplace_back(measure(), current());
    float loudestRandom = -1.0f;
    Setting random;
    for (int s = 0; s < kCalibrationSettings + 2; ++s) {
        Setting setting(static_cast<std::size_t>(params));
        for (float& v : setting) v = s == 0 ? 0.0f : s == 1 ? 1.0f : probe.random().unit();
        apply(setting);
        const float p = measure();
        if (s < 2) starts.emplace_back(p, current());
        else if (p > loudestRandom) {
            loudestRandom = p;
            random = current();
        }
    }
    if (!random.empty()) starts.emplace_back(loudestRandom, random);
    float peak = -1.0f;
    for (auto& [best, setting] : starts) {
        for (int pass = 0; pass < 2; ++pass)
            for (int32_t i = 0; i < std::min(params, kClimbedParameters); ++i)
                for (const float end : {0.0f, 1.0f}) {
                    apply(setting);
                    plugin->setParameter(i, end);
                    if (const float p = measure(); p > best) {
                        best = p;
                        setting = current();
                    }
                }
        peak = std::max(peak, best);
    }
    return std::max(peak, 0.0f);
}

double mean(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

}  // namespace

void checkThreads(Probe& probe) {
    HostContext host;
    auto plugin = probe.load(host);
    restart(*plugin, kRate, kBlock);
    const Snapshot first = snapshot(probe, *plugin);
    const double seconds = 0.5 * probe.level();
    probe.step("measuring the plug-in's own loudest output");
    const float own = ownPeak(probe);
    const float bound = std::max(kBound, 2.0f * own);
    AudioThread audio(*plugin, bound);
    Random sizes(0x5eed0002u);

    probe.step("processing before the second thread starts");
    audio.process(static_cast<int64_t>(0.25 * kRate), true, sizes);
    const double before = mean(audio.process(static_cast<int64_t>(0.5 * kRate), true, sizes));

    watchCrashes(probe.fd(), true);
    currentPhase = 0;
    Hammer hammer(*plugin, first, 0x5eed0003u + static_cast<uint64_t>(probe.level()));
    const int64_t framesBefore = audio.processedFrames();
    hammer.start();
    for (int phase = 0; phase < kPhases; ++phase) {
        currentPhase = phase;
        probe.step(std::string("processing while a second thread calls ") + kPhaseNames[phase]);
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds / kPhases))
            audio.process(kBlock * 8, false, sizes);
    }
    hammer.finish();
    watchCrashes(probe.fd(), false);
    const double hammered = static_cast<double>(audio.processedFrames() - framesBefore) / kRate;

    probe.step("processing after the second thread stopped");
    const std::vector<double> after = audio.process(static_cast<int64_t>(kRecoverySeconds * kRate), true, sizes);

    if (audio.nonFinite() > 0 || audio.outOfBound() > 0)
        probe.fail(std::to_string(audio.nonFinite()) + " non-finite samples and " + std::to_string(audio.outOfBound()) +
                   " beyond +-" + number(bound) + " (peak " + number(audio.peak()) + "; its own settings reach " + number(own) + "), " + audio.firstFault());
    std::string recovery;
    if (before <= 1e-12) {
        probe.note("the plug-in is silent on the test signal, so its recovery was not judged");
    } else {
        const auto again = std::find_if(after.begin(), after.end(),
                                        [&](double level) { return level >= kRecoveredLevel * kRecoveredLevel * before; });
        const double level = mean(after);
        if (again == after.end())
            probe.fail("no signal within " + number(kRecoverySeconds) + " s after the second thread stopped and restored "
                       "the first state (" + (std::isfinite(level) ? "level " + number(std::round(10.0 * std::log10(std::max(level, 1e-30) / before))) +
                                                                        " dB against before"
                                                                  : std::string("non-finite output")) + ")");
        else
            recovery = "; signal again within " +
                       number(std::round(1000.0 * static_cast<double>((again - after.begin() + 1) * kLevelWindow) / kRate)) +
                       " ms after it stopped";
    }
    const uint64_t* counts = hammer.counts();
    std::string calls;
    for (int k = 0; k < kRestore; ++k)
        if (counts[k] > 0)
            calls += (calls.empty() ? "" : ", ") + std::to_string(counts[k]) + " " + kCallNames[k] +
                     (k == kResend ? " with the value held" : "");
    probe.pass(number(std::round(hammered * 10.0) / 10.0) + " s of audio in blocks of 1 to 512 frames while a second thread made " +
               calls + " calls over " + number(seconds) + " s: no crash, output finite and within +-" + number(bound) +
               " (peak " + number(audio.peak()) + "; its own settings reach " + number(own) + ")" + recovery);
}

}  // namespace vsthost::validation
