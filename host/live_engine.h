// The JACK client of `vsthost live`: ports, the process callback around a LiveTarget, and what the
// server tells it (rate, block size, latency, xruns, shutdown).
#pragma once

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "host/live_target.h"
#include "host/validate/realtime_watch.h"

namespace vsthost {

class LiveEngine {
public:
    // Opens the client (never starting a server) and its ports; throws HostError when no server answers.
    LiveEngine(LiveTarget& target, const std::string& clientName);
    ~LiveEngine();
    LiveEngine(const LiveEngine&) = delete;
    LiveEngine& operator=(const LiveEngine&) = delete;

    // controller -> parameter index, or -1. Set before activate().
    void mapController(int controller, int32_t index) { controllerMap_[static_cast<std::size_t>(controller)] = index; }
    void activate();
    // Physical ports, or the ports whose names match the patterns; throws HostError when one matches nothing.
    void connect(const std::string& inPattern, const std::string& outPattern);
    void deactivate();

    // Main-thread work: a program asked for over MIDI. Returns true when one was applied.
    bool applyPendingProgram();

    std::string clientName() const;
    double rate() const { return rate_.load(); }
    int32_t blockSize() const { return block_.load(); }
    bool serverGone() const { return serverGone_.load(); }
    uint64_t xruns() const { return xruns_.load(); }
    uint64_t cycles() const { return cycles_.load(); }
    float jackLoad();
    // The plug-in's share of the last cycles' time, percent.
    double pluginLoad() const;
    float controllerValue(int controller) const { return controllerValue_[static_cast<std::size_t>(controller)].load(); }
    // What the process callback called that it must not; read after deactivate().
    const watch::Tally& realtimeTally() const { return tally_; }

private:
    static int onProcess(jack_nframes_t frames, void* self);
    static int onBufferSize(jack_nframes_t frames, void* self);
    static int onSampleRate(jack_nframes_t rate, void* self);
    static int onXrun(void* self);
    static void onLatency(jack_latency_callback_mode_t mode, void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);
    static void onConnect(jack_port_id_t a, jack_port_id_t b, int connect, void* self);

    int process(jack_nframes_t frames);
    // Waits for the audio thread to be outside the plug-in, then restarts it at the new settings.
    void reconfigure(double rate, int32_t block);

    enum State : int { kIdle, kProcessing, kReconfiguring };

    LiveTarget& target_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    jack_port_t* out_[2] = {};
    jack_port_t* midi_ = nullptr;
    bool active_ = false;

    std::atomic<int> state_{kIdle};
    std::atomic<double> rate_{0.0};
    std::atomic<int32_t> block_{0};
    std::atomic<bool> serverGone_{false};
    std::atomic<uint64_t> xruns_{0};
    std::atomic<uint64_t> cycles_{0};
    std::atomic<int> secondInputConnections_{0};
    std::atomic<int32_t> pendingProgram_{-1};
    std::atomic<double> pluginSeconds_{0.0};  // time in the plug-in over the last cycle

    std::array<int32_t, 128> controllerMap_{};
    std::array<std::atomic<float>, 128> controllerValue_{};

    // Audio-thread buffers; resized only while the state is kReconfiguring.
    std::vector<float> scratch_;
    std::vector<float*> inputs_, outputs_;
    watch::Tally tally_;
};

}  // namespace vsthost
