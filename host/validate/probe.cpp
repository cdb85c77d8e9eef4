#include "host/validate/probe.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "host/validate/opcode_table.h"
#include "vst/utf8_cut.h"

namespace vsthost::validation {
namespace {

constexpr int32_t kGuardFrames = 64;
constexpr float kSentinel = -12345.0f;
constexpr std::size_t kTextRoom = 256;
constexpr std::size_t kTextCanaryEnd = 1024;
constexpr unsigned char kCanaryByte = 0x5a;

}  // namespace

std::unique_ptr<Plugin> Probe::load(HostContext& host) {
    step("loading the plug-in");
    auto plugin = Plugin::load(path_, host);
    plugin->setSampleRate(44100.0);
    plugin->setBlockSize(512);
    return plugin;
}

void Probe::step(const std::string& what) {
    if (what == lastStep_) return;
    lastStep_ = what;
    send('S', what);
}

// The parent hears of a kind of failure once, with where it was first seen, and then its count as it
// doubles and at the end ('R' lines), so that a crash loses no more than the last repeats.
void Probe::fail(const std::string& what, const std::string& where) {
    ++failures_;
    const std::string key = subject_.empty() ? what : what + " with " + subject_;
    const auto found = std::find_if(kinds_.begin(), kinds_.end(), [&](const Failure& f) { return f.what == key; });
    if (found != kinds_.end()) {
        const long count = ++found->count;
        if ((count & (count - 1)) == 0)
            send('R', std::to_string(found - kinds_.begin()), std::to_string(count));
        return;
    }
    if (kinds_.size() >= static_cast<std::size_t>(kMaxFailuresShown)) {
        ++otherFailures_;
        return;
    }
    std::string first = where;
    if (!action_.empty()) first += (first.empty() ? "after " : ", after ") + action_;
    kinds_.push_back({key, 1});
    send('F', key, first);
}

void Probe::pass(const std::string& summary) {
    std::string detail = summary;
    for (const std::string& n : notes_) detail += "; " + n;
    if (failures_ == 0) {
        send('P', detail);
        return;
    }
    for (const std::string& n : notes_) send('N', n);  // still worth knowing beside the failures
}

void Probe::end() {
    for (std::size_t i = 0; i < kinds_.size(); ++i)
        if (kinds_[i].count > 1) send('R', std::to_string(i), std::to_string(kinds_[i].count));
    if (otherFailures_ > 0) send('F', "... and " + plural(otherFailures_, "failure") + " of other kinds");
}

void Probe::send(char kind, std::string text, std::string second) {
    for (std::string* field : {&text, &second})
        for (char& c : *field)
            if (c == '\n' || c == '\t') c = ' ';
    const std::string line = std::string(1, kind) + "\t" + text + (second.empty() ? "" : "\t" + second) + "\n";
    for (std::size_t off = 0; off < line.size();) {
        const ssize_t n = write(fd_, line.data() + off, line.size() - off);
        if (n <= 0) return;
        off += static_cast<std::size_t>(n);
    }
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string plural(long n, const std::string& noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

std::string channelName(int32_t channel, int32_t channels) {
    const std::string name = "channel " + std::to_string(channel);
    if (channels == 2) return name + (channel == 0 ? " (left)" : " (right)");
    return channels == 1 ? name + " (mono)" : name;
}

std::string parameterLabel(Plugin& plugin, int32_t index) {
    std::string name = plugin.paramName(index);
    if (name.empty()) return std::to_string(index);
    if (name.size() > 32) name.resize(vst::utf8Cut(name.data(), name.size(), 32));
    return std::to_string(index) + " \"" + name + "\"";
}

double testSignal(int64_t frame, double rate) {
    const double t = static_cast<double>(frame) / rate;
    const double envelope = std::exp(-3.0 * std::fmod(t, 0.5));
    return envelope * (0.3 * std::sin(2.0 * std::numbers::pi * 110.0 * t) +
                       0.2 * std::sin(2.0 * std::numbers::pi * 164.81 * t) +
                       0.05 * std::sin(2.0 * std::numbers::pi * 2637.0 * t));
}

void Rig::run(Probe& probe, Plugin& plugin, int32_t frames, bool inPlace) {
    const int32_t ins = std::max(plugin.numInputs(), 0);
    const int32_t outs = std::max(plugin.numOutputs(), 0);
    const auto n = static_cast<std::size_t>(std::max(frames, 0));
    const int32_t inChannels = inPlace ? std::max(ins, outs) : ins;
    std::vector<std::vector<float>> in(static_cast<std::size_t>(inChannels), std::vector<float>(n + kGuardFrames, kSentinel));
    std::vector<std::vector<float>> out(inPlace ? 0 : static_cast<std::size_t>(outs),
                                        std::vector<float>(n + kGuardFrames, kSentinel));
    for (auto& channel : in)
        for (std::size_t i = 0; i < n; ++i)
            channel[i] = static_cast<float>(testSignal(clock_ + static_cast<int64_t>(i), rate_));
    std::vector<float*> inPtr(static_cast<std::size_t>(std::max(inChannels, 1)), nullptr);
    std::vector<float*> outPtr(static_cast<std::size_t>(std::max(outs, 1)), nullptr);
    for (std::size_t c = 0; c < in.size(); ++c) inPtr[c] = in[c].data();
    for (std::size_t c = 0; c < out.size(); ++c) outPtr[c] = out[c].data();
    if (inPlace)
        for (int32_t c = 0; c < outs; ++c) outPtr[static_cast<std::size_t>(c)] = in[static_cast<std::size_t>(c)].data();
    const std::string block =
        std::to_string(frames) + "-frame block at " + number(rate_) + " Hz" + (inPlace ? " in place" : "");
    probe.step("processing a " + block);
    plugin.process(inPtr.data(), inPlace ? inPtr.data() : outPtr.data(), frames);
    clock_ += static_cast<int64_t>(n);
    lastOutput_.clear();

    // One report per kind of fault and block is enough to find it.
    auto& written = inPlace ? in : out;
    bool unwritten = false, nonFinite = false, overrun = false;
    for (int32_t c = 0; c < outs; ++c) {
        const auto& channel = written[static_cast<std::size_t>(c)];
        for (std::size_t i = 0; i < n; ++i) {
            const float v = channel[i];
            const std::string where = "at frame " + std::to_string(i) + " of a " + block;
            if (!inPlace && v == kSentinel && !unwritten) {
                unwritten = true;
                probe.fail("output " + channelName(c, outs) + " left unwritten", where);
            } else if (!std::isfinite(v) && !nonFinite) {
                nonFinite = true;
                probe.fail("non-finite samples on output " + channelName(c, outs), where + " (" + number(v) + ")");
            }
        }
        lastOutput_.insert(lastOutput_.end(), channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(n));
    }
    for (const auto* set : {&in, &out})
        for (std::size_t c = 0; c < set->size() && !overrun; ++c)
            for (std::size_t i = n; i < n + kGuardFrames; ++i)
                if ((*set)[c][i] != kSentinel) {
                    overrun = true;
                    probe.fail(std::string("wrote past the end of ") + (set == &in ? "input " : "output ") +
                                   channelName(static_cast<int32_t>(c), static_cast<int32_t>(set->size())),
                               "in a " + block);
                    break;
                }
}

void restart(Plugin& plugin, double rate, int32_t block) {
    plugin.suspend();
    plugin.setSampleRate(rate);
    plugin.setBlockSize(block);
    plugin.resume();
}

double largestDifference(const std::vector<float>& a, const std::vector<float>& b, double& peak) {
    double worst = 0.0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        worst = std::max(worst, std::abs(static_cast<double>(a[i]) - b[i]));
        peak = std::max(peak, std::abs(static_cast<double>(a[i])));
    }
    return worst;
}

std::string firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return "size " + std::to_string(b.size()) + " instead of " + std::to_string(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return "first difference at byte " + std::to_string(i);
    return {};
}

std::string textCall(Probe& probe, Plugin& plugin, int32_t op, int32_t index, intptr_t value) {
    std::array<unsigned char, kTextCanaryEnd> buffer{};
    std::fill(buffer.begin() + kTextRoom, buffer.end(), kCanaryByte);
    plugin.dispatch(op, index, value, buffer.data());
    const std::string what = opcodeName(op) + "(" + std::to_string(index) + ")";
    for (std::size_t i = kTextRoom; i < buffer.size(); ++i)
        if (buffer[i] != kCanaryByte) {
            probe.fail(what + " wrote past " + std::to_string(kTextRoom) + " bytes of the host's buffer");
            break;
        }
    const auto* text = reinterpret_cast<const char*>(buffer.data());
    const std::size_t length = strnlen(text, kTextRoom);
    if (length == kTextRoom) probe.fail(what + " left its text unterminated");
    return std::string(text, length);
}

}  // namespace vsthost::validation
