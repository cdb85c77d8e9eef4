#include "host/live_engine.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/host_error.h"

namespace vsthost {
namespace {

// JACK's own messages would break the one-line error rule; ours say what matters.
void quiet(const char*) {}

constexpr int32_t kMidiPrograms = 10;

std::vector<std::string> ports(jack_client_t* client, const std::string& pattern, unsigned long flags) {
    std::vector<std::string> names;
    const char** found = jack_get_ports(client, pattern.empty() ? nullptr : pattern.c_str(), nullptr, flags);
    if (!found) return names;
    for (const char** p = found; *p; ++p) names.emplace_back(*p);
    jack_free(found);
    return names;
}

}  // namespace

LiveEngine::LiveEngine(LiveTarget& target, const std::string& clientName) : target_(target) {
    controllerMap_.fill(-1);
    for (auto& v : controllerValue_) v.store(-1.0f);
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    const int longest = jack_client_name_size() - 1;
    const std::string name = clientName.substr(0, static_cast<std::size_t>(std::max(longest, 1)));
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client_)
        throw HostError("no JACK server is running: start one with `jackd -d alsa` or run under PipeWire "
                        "(pw-jack vsthost live ...)");
    const char* names[2][2] = {{"in_1", "in_2"}, {"out_1", "out_2"}};
    for (int c = 0; c < 2; ++c) {
        in_[c] = jack_port_register(client_, names[0][c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        out_[c] = jack_port_register(client_, names[1][c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    }
    midi_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!in_[0] || !in_[1] || !out_[0] || !out_[1] || !midi_) {
        jack_client_close(client_);
        throw HostError("the JACK server refused the client's ports");
    }
    jack_set_process_callback(client_, onProcess, this);
    jack_set_buffer_size_callback(client_, onBufferSize, this);
    jack_set_sample_rate_callback(client_, onSampleRate, this);
    jack_set_xrun_callback(client_, onXrun, this);
    jack_set_latency_callback(client_, onLatency, this);
    jack_on_info_shutdown(client_, onShutdown, this);
    jack_set_port_connect_callback(client_, onConnect, this);
    reconfigure(jack_get_sample_rate(client_), static_cast<int32_t>(jack_get_buffer_size(client_)));
}

LiveEngine::~LiveEngine() {
    deactivate();
    if (client_) jack_client_close(client_);
}

std::string LiveEngine::clientName() const { return jack_get_client_name(client_); }

void LiveEngine::activate() {
    if (jack_activate(client_) != 0) throw HostError("the JACK server did not start the client");
    active_ = true;
}

void LiveEngine::deactivate() {
    if (active_ && !serverGone_.load()) jack_deactivate(client_);
    active_ = false;
}

void LiveEngine::connect(const std::string& inPattern, const std::string& outPattern) {
    const auto sources = ports(client_, inPattern, JackPortIsOutput | (inPattern.empty() ? JackPortIsPhysical : 0));
    const auto sinks = ports(client_, outPattern, JackPortIsInput | (outPattern.empty() ? JackPortIsPhysical : 0));
    auto missing = [](const std::string& pattern, const char* what) {
        return pattern.empty() ? std::string("the JACK server has no physical ") + what + " ports"
                               : "no JACK " + std::string(what) + " port matches '" + pattern + "'";
    };
    const std::string self = clientName() + ":";
    std::vector<std::string> in, out;
    for (const auto& s : sources) if (s.rfind(self, 0) != 0 && s.find("midi") == std::string::npos) in.push_back(s);
    for (const auto& s : sinks) if (s.rfind(self, 0) != 0) out.push_back(s);
    if (in.empty()) throw HostError(missing(inPattern, "capture"));
    if (out.empty()) throw HostError(missing(outPattern, "playback"));
    // A guitar is one input; a second matching port (a pattern naming two) goes to in_2.
    const std::size_t inputs = inPattern.empty() ? 1 : std::min<std::size_t>(in.size(), 2);
    for (std::size_t c = 0; c < inputs; ++c) jack_connect(client_, in[c].c_str(), jack_port_name(in_[c]));
    for (std::size_t c = 0; c < std::min<std::size_t>(out.size(), 2); ++c)
        jack_connect(client_, jack_port_name(out_[c]), out[c].c_str());
}

bool LiveEngine::applyPendingProgram() {
    const int32_t program = pendingProgram_.exchange(-1);
    if (program < 0) return false;
    target_.setProgram(program);
    return true;
}

float LiveEngine::jackLoad() { return serverGone_.load() ? 0.0f : jack_cpu_load(client_); }

double LiveEngine::pluginLoad() const {
    const double period = block_.load() / std::max(rate_.load(), 1.0);
    return 100.0 * pluginSeconds_.load() / period;
}

int LiveEngine::onProcess(jack_nframes_t frames, void* self) { return static_cast<LiveEngine*>(self)->process(frames); }

int LiveEngine::process(jack_nframes_t frames) {
    watch::Window window(tally_);
    auto* out1 = static_cast<float*>(jack_port_get_buffer(out_[0], frames));
    auto* out2 = static_cast<float*>(jack_port_get_buffer(out_[1], frames));
    int expected = kIdle;
    if (!state_.compare_exchange_strong(expected, kProcessing) || static_cast<int32_t>(frames) > block_.load()) {
        if (expected == kProcessing) return 0;  // cannot happen: one process thread
        std::memset(out1, 0, frames * sizeof(float));
        std::memset(out2, 0, frames * sizeof(float));
        if (expected == kIdle) state_.store(kIdle);
        return 0;
    }
    // MIDI first: controllers apply to this whole cycle; programs go to the main thread, since a
    // plug-in may prepare a program with allocations.
    void* midi = jack_port_get_buffer(midi_, frames);
    const uint32_t events = jack_midi_get_event_count(midi);
    for (uint32_t e = 0; e < events; ++e) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, e) != 0 || event.size < 2) continue;
        const int status = event.buffer[0] & 0xF0;
        if (status == 0xC0 && event.buffer[1] < std::min(kMidiPrograms, target_.programs())) {
            pendingProgram_.store(event.buffer[1]);
        } else if (status == 0xB0 && event.size >= 3 && event.buffer[1] < 128) {
            const int32_t index = controllerMap_[event.buffer[1]];
            if (index < 0) continue;
            const float value = static_cast<float>(event.buffer[2] & 0x7F) / 127.0f;
            target_.setParameter(index, value);
            controllerValue_[event.buffer[1]].store(value);
        }
    }
    auto* in1 = static_cast<float*>(jack_port_get_buffer(in_[0], frames));
    // An unconnected second input plays the first: a guitar is mono.
    auto* in2 = secondInputConnections_.load() > 0 ? static_cast<float*>(jack_port_get_buffer(in_[1], frames)) : in1;
    for (std::size_t c = 0; c < inputs_.size(); ++c) inputs_[c] = c == 1 ? in2 : in1;
    if (!outputs_.empty()) outputs_[0] = out1;
    if (outputs_.size() > 1) outputs_[1] = out2;

    const auto start = std::chrono::steady_clock::now();
    target_.process(inputs_.empty() ? &in1 : inputs_.data(), outputs_.data(), static_cast<int32_t>(frames));
    pluginSeconds_.store(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (outputs_.size() == 1) std::memcpy(out2, out1, frames * sizeof(float));
    if (outputs_.empty()) {
        std::memset(out1, 0, frames * sizeof(float));
        std::memset(out2, 0, frames * sizeof(float));
    }
    cycles_.fetch_add(1, std::memory_order_relaxed);
    state_.store(kIdle);
    return 0;
}

void LiveEngine::reconfigure(double rate, int32_t block) {
    // The server may call from its process thread (then the audio is not running) or from another.
    int expected = kIdle;
    while (!state_.compare_exchange_weak(expected, kReconfiguring)) {
        expected = kIdle;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (rate != rate_.load() || block != block_.load()) {
        const auto ins = static_cast<std::size_t>(std::max(target_.inputs(), 0));
        const auto outs = static_cast<std::size_t>(std::max(target_.outputs(), 0));
        inputs_.assign(ins, nullptr);
        outputs_.assign(outs, nullptr);
        scratch_.assign(outs > 2 ? (outs - 2) * static_cast<std::size_t>(block) : 0, 0.0f);
        for (std::size_t c = 2; c < outs; ++c) outputs_[c] = scratch_.data() + (c - 2) * static_cast<std::size_t>(block);
        target_.restart(rate, block);
        rate_.store(rate);
        block_.store(block);
    }
    state_.store(kIdle);
}

int LiveEngine::onBufferSize(jack_nframes_t frames, void* self) {
    auto* engine = static_cast<LiveEngine*>(self);
    engine->reconfigure(engine->rate_.load(), static_cast<int32_t>(frames));
    return 0;
}

int LiveEngine::onSampleRate(jack_nframes_t rate, void* self) {
    auto* engine = static_cast<LiveEngine*>(self);
    if (engine->block_.load() > 0) engine->reconfigure(rate, engine->block_.load());
    return 0;
}

int LiveEngine::onXrun(void* self) {
    static_cast<LiveEngine*>(self)->xruns_.fetch_add(1);
    return 0;
}

void LiveEngine::onLatency(jack_latency_callback_mode_t mode, void* self) {
    auto* engine = static_cast<LiveEngine*>(self);
    const auto delay = static_cast<jack_nframes_t>(std::max(engine->target_.latency(), 0));
    // Capture latency flows from the inputs to the outputs, playback latency back the other way.
    jack_port_t** from = mode == JackCaptureLatency ? engine->in_ : engine->out_;
    jack_port_t** to = mode == JackCaptureLatency ? engine->out_ : engine->in_;
    jack_latency_range_t range{0, 0};
    for (int c = 0; c < 2; ++c) {
        jack_latency_range_t r;
        jack_port_get_latency_range(from[c], mode, &r);
        range.min = c == 0 ? r.min : std::min(range.min, r.min);
        range.max = std::max(range.max, r.max);
    }
    range.min += delay;
    range.max += delay;
    for (int c = 0; c < 2; ++c) jack_port_set_latency_range(to[c], mode, &range);
}

void LiveEngine::onShutdown(jack_status_t, const char*, void* self) { static_cast<LiveEngine*>(self)->serverGone_.store(true); }

void LiveEngine::onConnect(jack_port_id_t a, jack_port_id_t b, int connect, void* self) {
    auto* engine = static_cast<LiveEngine*>(self);
    if (jack_port_by_id(engine->client_, a) == engine->in_[1] || jack_port_by_id(engine->client_, b) == engine->in_[1])
        engine->secondInputConnections_.fetch_add(connect ? 1 : -1);
}

}  // namespace vsthost
