// LV2 State: the whole bank chunk and the current program, as a VST 2 host keeps them, and the files' paths.
// The chunk carries the impulse responses themselves, so a session opens the same where the files are gone.
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "lv2/adapter.h"

namespace tavik_lv2 {

namespace {

template <class T>
const T* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if (std::strcmp((*f)->URI, uri) == 0) return static_cast<const T*>((*f)->data);
    return nullptr;
}

bool isRegularFile(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

LV2_State_Status Adapter::save(LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                               const LV2_Feature* const* features) {
    const auto* mapPath = featureData<LV2_State_Map_Path>(features, LV2_STATE__mapPath);
    const auto* freePath = featureData<LV2_State_Free_Path>(features, LV2_STATE__freePath);
    void* chunk = nullptr;
    const int32_t size = effect_->getChunk(&chunk, false);
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    if (chunk && size > 0) store(handle, urids_.stateBank, chunk, static_cast<std::size_t>(size), urids_.atomChunk, flags);
    const int32_t program = effect_->getProgram();
    store(handle, urids_.stateProgram, &program, sizeof program, urids_.atomInt, flags);

    std::array<std::array<char, kMaxPath>, kMaxFiles> paths{};
    {
        std::lock_guard<std::mutex> lock(pathsMutex_);
        paths = path_;
    }
    for (int f = 0; f < d_.fileProperties; ++f) {
        const char* path = paths[static_cast<std::size_t>(f)].data();
        if (path[0] == '\0') continue;
        char* abstract = mapPath ? mapPath->abstract_path(mapPath->handle, path) : nullptr;
        const char* kept = abstract ? abstract : path;
        store(handle, urids_.file[f], kept, std::strlen(kept) + 1, urids_.atomPath, flags);
        if (abstract) {
            if (freePath)
                freePath->free_path(freePath->handle, abstract);
            else
                std::free(abstract);
        }
    }
    return LV2_STATE_SUCCESS;
}

LV2_State_Status Adapter::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                                  const LV2_Feature* const* features) {
    const auto* mapPath = featureData<LV2_State_Map_Path>(features, LV2_STATE__mapPath);
    const auto* freePath = featureData<LV2_State_Free_Path>(features, LV2_STATE__freePath);
    std::size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    // A blob of another size or type (truncated, foreign) is left aside: the programs stay as they are.
    bool bankTaken = false;
    const void* bank = retrieve(handle, urids_.stateBank, &size, &type, &flags);
    if (bank && type == urids_.atomChunk && size > 0 && size <= static_cast<std::size_t>(INT32_MAX)) {
        // setChunk may keep a pointer into what it is given only while it runs; the host's buffer is const.
        std::vector<unsigned char> copy(static_cast<const unsigned char*>(bank),
                                        static_cast<const unsigned char*>(bank) + size);
        bankTaken = effect_->setChunk(copy.data(), static_cast<int32_t>(size), false) != 0;
    }
    const void* program = retrieve(handle, urids_.stateProgram, &size, &type, &flags);
    if (program && type == urids_.atomInt && size == sizeof(int32_t)) {
        int32_t index = 0;
        std::memcpy(&index, program, sizeof index);
        if (index >= 0 && index < effect_->numPrograms()) effect_->setProgram(index);
    }
    for (int f = 0; f < d_.fileProperties; ++f) {
        const void* value = retrieve(handle, urids_.file[f], &size, &type, &flags);
        if (!value || type != urids_.atomPath || size < 2 || size > kMaxPath) continue;
        std::string stored(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), size));
        char* absolute = mapPath ? mapPath->absolute_path(mapPath->handle, stored.c_str()) : nullptr;
        const std::string path = absolute ? absolute : stored;
        if (absolute) {
            if (freePath)
                freePath->free_path(freePath->handle, absolute);
            else
                std::free(absolute);
        }
        // The bank holds the response itself; only a state without one (a preset naming a file) reads it.
        bool known = bankTaken;
        if (!bankTaken && isRegularFile(path.c_str())) known = d_.loadFile(*effect_, f, path);
        if (!known) continue;
        std::lock_guard<std::mutex> lock(pathsMutex_);
        auto& slot = path_[static_cast<std::size_t>(f)];
        slot.fill('\0');
        std::memcpy(slot.data(), path.data(), std::min(path.size(), kMaxPath - 1));
        announce_[static_cast<std::size_t>(f)] = true;
    }
    takeLiveValues();
    return LV2_STATE_SUCCESS;
}

}  // namespace tavik_lv2
