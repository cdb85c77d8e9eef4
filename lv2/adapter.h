// The LV2 door into an effect object: one instance of a plug-in as an LV2 host sees it. The effect runs as
// the VST 2 side runs it (processReplacing, setParameter, chunks); this class only translates.
//
// Threads: run and the worker's response are the audio thread; work is the host's worker thread; save may
// come from another thread while run goes on; instantiate, activate, restore and cleanup come alone.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "lv2/plugin_description.h"

namespace tavik_lv2 {

constexpr int kMaxFiles = 2;
constexpr std::size_t kMaxPath = 4096;

class Adapter {
public:
    static Adapter* create(const Description& d, double rate, const LV2_Feature* const* features);
    ~Adapter();

    void connect(uint32_t port, void* data) noexcept;
    void activate();
    void deactivate();
    void run(uint32_t frames) noexcept;

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, uint32_t size,
                           const void* data);
    LV2_Worker_Status workResponse(uint32_t size, const void* data) noexcept;

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t flags,
                          const LV2_Feature* const* features);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t flags,
                             const LV2_Feature* const* features);

private:
    Adapter(const Description& d, const LV2_URID_Map* map);
    static intptr_t master(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt);

    void readControls() noexcept;
    // What the host sets the control ports to from now on is compared with what the effect holds.
    void takeLiveValues() noexcept;
    void readMessages() noexcept;
    void forgeFile(int file) noexcept;
    int fileIndex(LV2_URID property) const noexcept;
    void process(uint32_t frames) noexcept;

    struct Urids {
        LV2_URID atomPath, atomChunk, atomInt, atomUrid, atomObject, atomBlank, atomSequence;
        LV2_URID patchSet, patchGet, patchProperty, patchValue;
        LV2_URID stateBank, stateProgram;
        LV2_URID file[kMaxFiles];
    };

    // A request handed to the worker, or its answer: which file, and its path (nul-terminated).
    struct FileMessage {
        int32_t file;
        char path[kMaxPath];
    };

    const Description& d_;
    const LV2_URID_Map* map_;
    Urids urids_{};
    LV2_Worker_Schedule* schedule_ = nullptr;
    LV2_Atom_Forge forge_{};

    std::unique_ptr<vst::AudioEffect> effect_;
    double rate_ = 44100.0;
    int32_t maxBlock_ = 4096;

    // Ports.
    const float* audioIn_[2] = {};
    float* audioOut_[2] = {};
    const LV2_Atom_Sequence* control_ = nullptr;
    LV2_Atom_Sequence* notify_ = nullptr;
    float* latency_ = nullptr;
    std::vector<const float*> controls_;   // by parameter index; nullptr: no port or not connected
    std::vector<float> lastValue_;         // what each control port was when last applied
    std::vector<int32_t> portParameter_;   // port index -> parameter index, -1 for fixed ports

    // Stand-ins for unconnected audio ports, maxBlock_ long.
    std::vector<float> silence_;
    std::vector<float> discard_[2];

    // The files' paths. Run writes them (from the worker's answers) and answers patch:Get; save reads them.
    std::mutex pathsMutex_;
    std::array<std::array<char, kMaxPath>, kMaxFiles> path_{};
    // Answers not yet taken because save held the paths; audio thread only.
    std::array<FileMessage, kMaxFiles> arrived_{};
    std::array<bool, kMaxFiles> arrivedPending_{};
    // Files to announce on the notify port at the next run; audio thread only (and restore).
    std::array<bool, kMaxFiles> announce_{};
};

// The descriptor a plug-in library hands out.
const LV2_Descriptor* descriptorFor(const Description& d);

}  // namespace tavik_lv2
