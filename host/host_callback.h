// The host side of the audio-master callback: what vsthost tells a plug-in that asks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "vst/aeffect.h"

namespace vsthost {

struct AutomationEvent {
    int32_t index;
    float value;
};

// State one loaded plug-in can ask about: rate, block size, queued file-selector answers, and the
// automation it reported. The callback finds it through AEffect::resvd1 (see attach()). A plug-in may
// call back from any of its threads, so what the answers change is guarded.
class HostContext {
public:
    HostContext();
    ~HostContext();
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;

    std::atomic<double> sampleRate{44100.0};
    std::atomic<int32_t> blockSize{512};

    // The next file-selector request of the plug-in is answered with this path; with none queued a
    // request is answered as cancelled.
    void queueFile(std::string path);
    std::size_t pendingFiles() const;
    // How many times the plug-in asked for a file selector, answered or not.
    uint64_t fileSelectorRequests() const { return fileSelectorRequests_.load(); }

    // The most recent reports (at most kMaxAutomation are kept) and how many there were in all.
    const std::vector<AutomationEvent>& automation() const { return automation_; }
    std::size_t automationCount() const { return automationTotal_; }
    static constexpr std::size_t kMaxAutomation = 65536;

    intptr_t answer(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

private:
    intptr_t openFileSelector(vst::VstFileSelect* select);
    intptr_t closeFileSelector(vst::VstFileSelect* select);

    // Memory handed to the plug-in inside a VstFileSelect; released on its close request or with us.
    struct GivenPath {
        vst::VstFileSelect* select;
        char* path;
        char** paths;
    };

    mutable std::mutex mutex_;  // guards what follows
    std::deque<std::string> files_;
    std::vector<AutomationEvent> automation_;
    std::size_t automationTotal_ = 0;
    std::vector<GivenPath> given_;
    std::atomic<uint64_t> fileSelectorRequests_{0};
};

// The callback handed to every entry point.
intptr_t hostCallback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt);

// Routes the calls an entry point makes before its effect record is known (null effect, or a record
// whose resvd1 is still empty) to `host`, for the lifetime of the scope.
class LoadingScope {
public:
    explicit LoadingScope(HostContext& host);
    ~LoadingScope();
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    HostContext* previous_;
};

// Binds a created effect to its context: resvd1 is the field the interface reserves for the host.
void attach(vst::AEffect* effect, HostContext& host);

}  // namespace vsthost
