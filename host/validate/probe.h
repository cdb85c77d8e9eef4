// What every validate check shares: the probe that reports to the parent process, a seeded random
// source, and the rig that processes guarded blocks of a test signal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_callback.h"
#include "host/plugin.h"

namespace vsthost::validation {

constexpr int kContractLevel = 6;  // from this level on, calls that break the interface's promises too
constexpr int kMaxFailuresShown = 8;  // distinct failures of one check; more are only counted

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed | 1u) {}
    uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    float unit() { return static_cast<float>(next() >> 40) / static_cast<float>(1u << 24); }
    int32_t below(int32_t n) { return n > 0 ? static_cast<int32_t>(next() % static_cast<uint64_t>(n)) : 0; }

private:
    uint64_t state_;
};

// What a check sees in the child: the plug-in, and a line protocol to the parent on a pipe.
class Probe {
public:
    Probe(int fd, const std::string& path, int level) : fd_(fd), path_(path), level_(level), random_(0x5eed0001u) {}

    int level() const { return level_; }
    bool breaksContract() const { return level_ >= kContractLevel; }
    Random& random() { return random_; }
    const std::string& path() const { return path_; }
    int failures() const { return failures_; }
    // The pipe to the parent, for a signal handler that must report without allocating.
    int fd() const { return fd_; }

    // Loads the plug-in and tells it 44100 Hz and blocks of 512; it is not resumed yet.
    std::unique_ptr<Plugin> load(HostContext& host);

    // Names what the child is about to do, so that a crash can be placed. A repeat is not sent again.
    void step(const std::string& what);
    // Reports a fault. The same `what` again is only counted; `where` tells where it was first seen
    // (a frame, a block). The subject, when one is set, is added to both.
    void fail(const std::string& what, const std::string& where = {});
    // What the failures that follow concern (a parameter: `subject` names it, `action` the call just
    // made); empty strings end it.
    void setSubject(std::string subject, std::string action) {
        subject_ = std::move(subject);
        action_ = std::move(action);
    }
    // A remark that is no failure; it ends the summary, or follows the failures.
    void note(const std::string& what) { notes_.push_back(what); }
    // Ends the check: the summary if nothing failed, else the notes.
    void pass(const std::string& summary);
    // After the check, passed or not: the final count of each failure.
    void end();

private:
    void send(char kind, std::string text, std::string second = {});

    struct Failure {
        std::string what;
        long count;
    };

    int fd_;
    std::string path_;
    int level_;
    Random random_;
    int failures_ = 0;
    std::vector<Failure> kinds_;  // in the order first seen
    long otherFailures_ = 0;      // of kinds past kMaxFailuresShown
    std::vector<std::string> notes_;
    std::string lastStep_;
    std::string subject_, action_;
};

std::string number(double v);
// "1 setting", "3 settings".
std::string plural(long n, const std::string& noun);
// "channel 0 (left)" for a stereo plug-in's first output, "channel 2" where there are more or fewer.
std::string channelName(int32_t channel, int32_t channels);

// A parameter for reports: its index and its name in quotes, as the plug-in gives it ("3" when it has none).
std::string parameterLabel(Plugin& plugin, int32_t index);

// A few decaying chords and a high partial: a signal every audio plug-in has something to do with.
double testSignal(int64_t frame, double rate);

// Processes one block of the test signal in guarded buffers and reports whatever went wrong: samples
// not written, non-finite samples, writes past the block. Two rigs made alike feed identical input.
class Rig {
public:
    explicit Rig(double rate) : rate_(rate) {}
    void setRate(double rate) { rate_ = rate; }

    void run(Probe& probe, Plugin& plugin, int32_t frames, bool inPlace = false);
    // Every output channel of the last block, one after the other.
    const std::vector<float>& lastOutput() const { return lastOutput_; }

private:
    double rate_;
    int64_t clock_ = 0;
    std::vector<float> lastOutput_;
};

// Suspend, new rate and block size, resume.
void restart(Plugin& plugin, double rate, int32_t block);

// The largest difference between two outputs; `peak` grows to the largest magnitude of `a`.
double largestDifference(const std::vector<float>& a, const std::vector<float>& b, double& peak);

// Empty when the two are equal, else where they first differ.
std::string firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A text opcode into a buffer with room for 255 characters and a canary beyond; returns the text.
// Writing past the room or leaving the text unterminated is a failure.
std::string textCall(Probe& probe, Plugin& plugin, int32_t op, int32_t index, intptr_t value = 0);

}  // namespace vsthost::validation
