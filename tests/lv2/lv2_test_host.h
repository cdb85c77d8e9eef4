// A small LV2 host for the tests: dlopen, lv2_descriptor, a URID map, a worker run on demand, state kept in
// a map.
#pragma once

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

namespace lv2_test {

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle h, const char* uri) -> LV2_URID {
                             auto& known = static_cast<UridMap*>(h)->ids;
                             auto [it, added] = known.emplace(uri, static_cast<LV2_URID>(known.size() + 1));
                             return it->second;
                         }};
    LV2_URID map(const char* uri) { return feature.map(this, uri); }
};

struct State {
    struct Value {
        std::vector<unsigned char> bytes;
        uint32_t type;
    };
    std::map<uint32_t, Value> values;

    static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t) {
        auto* bytes = static_cast<const unsigned char*>(value);
        static_cast<State*>(h)->values[key] = {std::vector<unsigned char>(bytes, bytes + size), type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
        auto& values = static_cast<State*>(h)->values;
        auto it = values.find(key);
        if (it == values.end()) return nullptr;
        *size = it->second.bytes.size();
        *type = it->second.type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return it->second.bytes.data();
    }
};

class Plugin {
public:
    Plugin(const char* library, double rate, UridMap& map) : handle_(dlopen(library, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) return;
        auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle_, "lv2_descriptor"));
        d_ = entry ? entry(0) : nullptr;
        if (!d_) return;
        features_[0] = {LV2_URID__map, &map.feature};
        features_[1] = {LV2_WORKER__schedule, &schedule_};
        const LV2_Feature* list[] = {&features_[0], &features_[1], nullptr};
        h_ = d_->instantiate(d_, rate, "", list);
        if (!h_) return;
        values_.resize(64, 0.0f);
        for (uint32_t p = 0; p < 64; ++p) d_->connect_port(h_, p, p >= 7 ? &values_[p] : nullptr);
        d_->connect_port(h_, 6, &latency);
        worker_ = static_cast<const LV2_Worker_Interface*>(d_->extension_data(LV2_WORKER__interface));
        state_ = static_cast<const LV2_State_Interface*>(d_->extension_data(LV2_STATE__interface));
    }
    ~Plugin() {
        if (h_) d_->cleanup(h_);
        if (handle_) dlclose(handle_);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool ok() const { return h_ != nullptr; }
    const LV2_Descriptor* descriptor() const { return d_; }
    // Control ports hold the given values; ports not set hold what the host read as defaults before.
    void set(uint32_t port, float v) { values_[port] = v; }
    void connectControls(const std::vector<float>& defaults) {
        for (std::size_t i = 0; i < defaults.size(); ++i) values_[7 + i] = defaults[i];
    }
    void activate() { d_->activate(h_); }
    void run(const float* in, float* left, float* right, uint32_t frames) {
        d_->connect_port(h_, 0, const_cast<float*>(in));
        d_->connect_port(h_, 1, const_cast<float*>(in));
        d_->connect_port(h_, 2, left);
        d_->connect_port(h_, 3, right);
        d_->run(h_, frames);
    }
    void save(State& s) { state_->save(h_, State::store, &s, 0, nullptr); }
    void restore(State& s) { state_->restore(h_, State::retrieve, &s, 0, nullptr); }

    float latency = -1.0f;

private:
    void* handle_;
    const LV2_Descriptor* d_ = nullptr;
    LV2_Handle h_ = nullptr;
    LV2_Feature features_[2];
    LV2_Worker_Schedule schedule_{this, [](LV2_Worker_Schedule_Handle, uint32_t, const void*) {
                                      return LV2_WORKER_ERR_NO_SPACE;
                                  }};
    const LV2_Worker_Interface* worker_ = nullptr;
    const LV2_State_Interface* state_ = nullptr;
    std::vector<float> values_;
};

}  // namespace lv2_test
