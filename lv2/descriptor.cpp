#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <cstring>

#include "lv2/adapter.h"

namespace tavik_lv2 {

namespace {

// The descriptor first, so that the host's pointer to it leads back to the description.
struct Entry {
    LV2_Descriptor descriptor;
    const Description* description;
};

Adapter* of(LV2_Handle h) { return static_cast<Adapter*>(h); }

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char*, const LV2_Feature* const* features) {
    try {
        return Adapter::create(*reinterpret_cast<const Entry*>(descriptor)->description, rate, features);
    } catch (...) {
        return nullptr;
    }
}

void connect(LV2_Handle h, uint32_t port, void* data) { of(h)->connect(port, data); }
void activate(LV2_Handle h) {
    try { of(h)->activate(); } catch (...) {}
}
void run(LV2_Handle h, uint32_t frames) { of(h)->run(frames); }
void deactivate(LV2_Handle h) {
    try { of(h)->deactivate(); } catch (...) {}
}
void cleanup(LV2_Handle h) { delete of(h); }

LV2_Worker_Status work(LV2_Handle h, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       uint32_t size, const void* data) {
    try {
        return of(h)->work(respond, handle, size, data);
    } catch (...) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}
LV2_Worker_Status workResponse(LV2_Handle h, uint32_t size, const void* data) { return of(h)->workResponse(size, data); }

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t flags,
                      const LV2_Feature* const* features) {
    try {
        return of(h)->save(store, handle, flags, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}
LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t flags,
                         const LV2_Feature* const* features) {
    try {
        return of(h)->restore(retrieve, handle, flags, features);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state{save, restore};
    static const LV2_Worker_Interface worker{work, workResponse, nullptr};
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &worker;
    return nullptr;
}

}  // namespace

const LV2_Descriptor* descriptorFor(const Description& d) {
    static Entry entry{{d.uri, instantiate, connect, activate, run, deactivate, cleanup, extensionData}, &d};
    return &entry.descriptor;
}

}  // namespace tavik_lv2
