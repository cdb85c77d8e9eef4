// Loads a built plug-in with dlopen and drives it through its dispatcher, as a host does.
#pragma once

#include <dlfcn.h>
#include <malloc.h>

#include <cstring>
#include <string>
#include <vector>

#include "vst/aeffect.h"

namespace testing_support {

struct HostLog {
    std::vector<std::pair<int32_t, float>> automated;
    intptr_t version = 2400;
    intptr_t sampleRateAnswer = 0;
};

inline HostLog& hostLog() {
    static HostLog log;
    return log;
}

inline intptr_t testHostCallback(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
    switch (opcode) {
    case vst::audioMasterVersion: return hostLog().version;
    case vst::audioMasterAutomate: hostLog().automated.emplace_back(index, opt); return 0;
    case vst::audioMasterGetSampleRate: return hostLog().sampleRateAnswer;
    default: return 0;
    }
}

class PluginLibrary {
public:
    explicit PluginLibrary(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (handle_) entry_ = reinterpret_cast<vst::PluginEntryProc>(dlsym(handle_, "VSTPluginMain"));
    }
    ~PluginLibrary() {
        if (handle_) dlclose(handle_);
    }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return entry_ != nullptr; }
    void* symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }
    vst::AEffect* create(vst::AudioMasterCallback cb = testHostCallback) const { return entry_ ? entry_(cb) : nullptr; }

private:
    void* handle_;
    vst::PluginEntryProc entry_ = nullptr;
};

// One effect instance, closed through the dispatcher at the end of its scope.
class Instance {
public:
    explicit Instance(const PluginLibrary& lib) : e(lib.create()) {}
    ~Instance() {
        if (e) e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    intptr_t call(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return e->dispatcher(e, opcode, index, value, ptr, opt);
    }
    std::string text(int32_t opcode, int32_t index, const char* prefill = "") {
        char buf[256];
        std::memset(buf, 0, sizeof(buf));
        std::strcpy(buf, prefill);
        call(opcode, index, 0, buf);
        return buf;
    }
    void set(int32_t index, float v) { e->setParameter(e, index, v); }
    float get(int32_t index) { return e->getParameter(e, index); }
    // Processes frames of the given input on both channels; returns the two output channels.
    std::vector<std::vector<float>> process(const std::vector<float>& in, int32_t block = 512) {
        std::vector<std::vector<float>> out(2, std::vector<float>(in.size()));
        std::vector<float> l(in), r(in);
        for (size_t at = 0; at < in.size(); at += static_cast<size_t>(block)) {
            int32_t n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(block), in.size() - at));
            float* ins[2] = {l.data() + at, r.data() + at};
            float* outs[2] = {out[0].data() + at, out[1].data() + at};
            e->processReplacing(e, ins, outs, n);
        }
        return out;
    }

    vst::AEffect* e;
};

// Heap bytes still in use after loading the library, creating and closing an effect and unloading it again,
// `cycles` times, beyond what the first cycle left behind. Hosts load and unload plug-ins many times while
// they scan. -1 when the library is already loaded in this process (then it would not be unloaded).
inline long heapGrowthOverLoads(const char* path, int cycles) {
    if (void* already = dlopen(path, RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(already);
        return -1;
    }
    auto cycle = [path] {
        void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        auto entry = reinterpret_cast<vst::PluginEntryProc>(dlsym(handle, "VSTPluginMain"));
        if (vst::AEffect* e = entry ? entry(testHostCallback) : nullptr) e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
        dlclose(handle);
    };
    cycle();
    const auto before = static_cast<long>(mallinfo2().uordblks);
    for (int i = 0; i < cycles; ++i) cycle();
    return static_cast<long>(mallinfo2().uordblks) - before;
}

}  // namespace testing_support
