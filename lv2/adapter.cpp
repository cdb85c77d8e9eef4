#include "lv2/adapter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>

#include "realtime/flush_to_zero.h"

namespace tavik_lv2 {

namespace {

constexpr int32_t kDefaultMaxBlock = 4096;
constexpr int32_t kLargestMaxBlock = 1 << 20;

// Thread of the constructor only: the instance whose effect is being made, for host calls from inside it.
thread_local Adapter* constructing = nullptr;

}  // namespace

Adapter::Adapter(const Description& d, const LV2_URID_Map* map) : d_(d), map_(map) {
    auto m = [this](const char* uri) { return map_->map(map_->handle, uri); };
    urids_.atomPath = m(LV2_ATOM__Path);
    urids_.atomChunk = m(LV2_ATOM__Chunk);
    urids_.atomInt = m(LV2_ATOM__Int);
    urids_.atomUrid = m(LV2_ATOM__URID);
    urids_.atomObject = m(LV2_ATOM__Object);
    urids_.atomBlank = m(LV2_ATOM__Blank);
    urids_.atomSequence = m(LV2_ATOM__Sequence);
    urids_.patchSet = m(LV2_PATCH__Set);
    urids_.patchGet = m(LV2_PATCH__Get);
    urids_.patchProperty = m(LV2_PATCH__property);
    urids_.patchValue = m(LV2_PATCH__value);
    const std::string base = d.uri;
    urids_.stateBank = m((base + ":bank").c_str());
    urids_.stateProgram = m((base + ":program").c_str());
    for (int f = 0; f < d.fileProperties && f < kMaxFiles; ++f) urids_.file[f] = m(d.fileUris[f]);
    lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map_));
}

Adapter::~Adapter() = default;

Adapter* Adapter::create(const Description& d, double rate, const LV2_Feature* const* features) {
    if (!(std::isfinite(rate) && rate > 0.0)) return nullptr;
    const LV2_URID_Map* map = nullptr;
    LV2_Worker_Schedule* schedule = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (std::strcmp((*f)->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>((*f)->data);
        if (std::strcmp((*f)->URI, LV2_WORKER__schedule) == 0) schedule = static_cast<LV2_Worker_Schedule*>((*f)->data);
        if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0) options = static_cast<const LV2_Options_Option*>((*f)->data);
    }
    if (!map) return nullptr;
    std::unique_ptr<Adapter> a(new Adapter(d, map));
    a->schedule_ = schedule;
    a->rate_ = rate;
    if (options) {
        const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
        const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
        for (const LV2_Options_Option* o = options; o->key != 0; ++o)
            if (o->key == maxKey && o->type == intType && o->size == sizeof(int32_t) && o->value) {
                const int32_t size = *static_cast<const int32_t*>(o->value);
                if (size > 0) a->maxBlock_ = std::min(size, kLargestMaxBlock);
            }
    }
    if (a->maxBlock_ <= 0) a->maxBlock_ = kDefaultMaxBlock;

    constructing = a.get();
    vst::AudioEffect* effect = d.create(master);
    constructing = nullptr;
    if (!effect) return nullptr;
    a->effect_.reset(effect);
    effect->getAeffect()->user = a.get();
    effect->setSampleRate(static_cast<float>(rate));
    effect->setBlockSize(a->maxBlock_);

    a->silence_.assign(static_cast<std::size_t>(a->maxBlock_), 0.0f);
    for (auto& buffer : a->discard_) buffer.assign(static_cast<std::size_t>(a->maxBlock_), 0.0f);
    a->controls_.assign(static_cast<std::size_t>(d.params), nullptr);
    a->lastValue_.assign(static_cast<std::size_t>(d.params), 0.0f);
    a->portParameter_.assign(portCount(d), -1);
    uint32_t port = kFirstParameter;
    for (int32_t i = 0; i < d.params; ++i)
        if (hasPort(d, i)) a->portParameter_[port++] = i;
    a->takeLiveValues();
    return a.release();
}

intptr_t Adapter::master(vst::AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float) {
    const Adapter* a = effect && effect->user ? static_cast<const Adapter*>(effect->user) : constructing;
    switch (opcode) {
    case vst::audioMasterVersion: return 2400;
    case vst::audioMasterGetSampleRate: return a ? static_cast<intptr_t>(a->rate_) : 0;
    case vst::audioMasterGetBlockSize: return a ? a->maxBlock_ : 0;
    // The latency port reads the new delay at the next run.
    case vst::audioMasterIOChanged: return 1;
    default: return 0;
    }
}

void Adapter::connect(uint32_t port, void* data) noexcept {
    switch (port) {
    case kInLeft: audioIn_[0] = static_cast<const float*>(data); return;
    case kInRight: audioIn_[1] = static_cast<const float*>(data); return;
    case kOutLeft: audioOut_[0] = static_cast<float*>(data); return;
    case kOutRight: audioOut_[1] = static_cast<float*>(data); return;
    case kControl: control_ = static_cast<const LV2_Atom_Sequence*>(data); return;
    case kNotify: notify_ = static_cast<LV2_Atom_Sequence*>(data); return;
    case kLatency: latency_ = static_cast<float*>(data); return;
    default:
        if (port < portParameter_.size() && portParameter_[port] >= 0)
            controls_[static_cast<std::size_t>(portParameter_[port])] = static_cast<const float*>(data);
    }
}

void Adapter::activate() { effect_->resume(); }
void Adapter::deactivate() { effect_->suspend(); }

void Adapter::takeLiveValues() noexcept {
    for (int32_t i = 0; i < d_.params; ++i)
        if (hasPort(d_, i)) lastValue_[static_cast<std::size_t>(i)] = effect_->getParameter(i);
}

void Adapter::readControls() noexcept {
    // Only a port that moved reaches the effect: hosts send every value on every block.
    for (int32_t i = 0; i < d_.params; ++i) {
        const float* port = controls_[static_cast<std::size_t>(i)];
        if (!port) continue;
        const float v = *port;
        float& last = lastValue_[static_cast<std::size_t>(i)];
        if (std::isnan(v) || v == last) continue;
        last = v;
        effect_->setParameter(i, v);
    }
}

void Adapter::process(uint32_t frames) noexcept {
    for (uint32_t start = 0; start < frames;) {
        const auto count = static_cast<int32_t>(std::min<uint32_t>(frames - start, static_cast<uint32_t>(maxBlock_)));
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < 2; ++c) {
            ins[c] = audioIn_[c] ? const_cast<float*>(audioIn_[c]) + start : silence_.data();
            outs[c] = audioOut_[c] ? audioOut_[c] + start : discard_[c].data();
        }
        effect_->processReplacing(ins, outs, count);
        start += static_cast<uint32_t>(count);
    }
}

void Adapter::run(uint32_t frames) noexcept {
    realtime::ScopedFlushToZero flush;
    try {
        readControls();
        readMessages();
        if (frames > 0) process(frames);
    } catch (...) {
    }
    if (latency_) *latency_ = static_cast<float>(effect_->initialDelay());
}

}  // namespace tavik_lv2
