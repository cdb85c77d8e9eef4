// The file properties: patch:Set from the host loads a file through the worker, patch:Get is answered, and a
// loaded file is announced on the notify port.
#include <cstring>

#include <lv2/atom/util.h>

#include "lv2/adapter.h"

namespace tavik_lv2 {

namespace {

constexpr std::size_t kHeader = sizeof(int32_t);  // FileMessage::file

}  // namespace

int Adapter::fileIndex(LV2_URID property) const noexcept {
    for (int f = 0; f < d_.fileProperties && f < kMaxFiles; ++f)
        if (property == urids_.file[f]) return f;
    return -1;
}

void Adapter::forgeFile(int f) noexcept {
    std::unique_lock<std::mutex> lock(pathsMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // a save reads the paths: announced at the next run
    announce_[static_cast<std::size_t>(f)] = false;
    const char* path = path_[static_cast<std::size_t>(f)].data();
    const auto length = static_cast<uint32_t>(strnlen(path, kMaxPath - 1));
    if (length == 0) return;
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &frame, 0, urids_.patchSet);
    lv2_atom_forge_key(&forge_, urids_.patchProperty);
    lv2_atom_forge_urid(&forge_, urids_.file[f]);
    lv2_atom_forge_key(&forge_, urids_.patchValue);
    lv2_atom_forge_path(&forge_, path, length);
    lv2_atom_forge_pop(&forge_, &frame);
}

void Adapter::readMessages() noexcept {
    LV2_Atom_Forge_Frame sequence;
    const bool notifying = notify_ != nullptr;
    if (notifying) {
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(notify_), notify_->atom.size);
        lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
    }
    // Answers the worker gave while a save held the paths.
    for (int f = 0; f < d_.fileProperties; ++f) {
        if (!arrivedPending_[static_cast<std::size_t>(f)]) continue;
        std::unique_lock<std::mutex> lock(pathsMutex_, std::try_to_lock);
        if (!lock.owns_lock()) break;
        const FileMessage& m = arrived_[static_cast<std::size_t>(f)];
        if (m.path[0] != '\0') std::memcpy(path_[static_cast<std::size_t>(f)].data(), m.path, kMaxPath);
        arrivedPending_[static_cast<std::size_t>(f)] = false;
        announce_[static_cast<std::size_t>(f)] = true;
    }
    if (control_ && d_.fileProperties > 0) {
        LV2_ATOM_SEQUENCE_FOREACH(control_, ev) {
            if (ev->body.type != urids_.atomObject && ev->body.type != urids_.atomBlank) continue;
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(object, urids_.patchProperty, &property, urids_.patchValue, &value, 0);
            const int f = property && property->type == urids_.atomUrid
                              ? fileIndex(reinterpret_cast<const LV2_Atom_URID*>(property)->body)
                              : -1;
            if (object->body.otype == urids_.patchGet) {
                // Without a property: every file.
                for (int g = 0; g < d_.fileProperties; ++g)
                    if (f < 0 || f == g) announce_[static_cast<std::size_t>(g)] = true;
            } else if (object->body.otype == urids_.patchSet && f >= 0 && value && value->type == urids_.atomPath &&
                       value->size > 1 && value->size <= kMaxPath && schedule_) {
                // Without a worker a file can only come in through a state restore: it is never read here.
                FileMessage m;
                m.file = f;
                std::memcpy(m.path, LV2_ATOM_BODY_CONST(value), value->size);
                m.path[value->size - 1] = '\0';
                schedule_->schedule_work(schedule_->handle, static_cast<uint32_t>(kHeader + value->size), &m);
            }
        }
    }
    if (notifying) {
        for (int f = 0; f < d_.fileProperties; ++f)
            if (announce_[static_cast<std::size_t>(f)]) forgeFile(f);
        lv2_atom_forge_pop(&forge_, &sequence);
    }
}

LV2_Worker_Status Adapter::work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                                uint32_t size, const void* data) {
    if (!data || size <= kHeader || size > sizeof(FileMessage) || !d_.loadFile) return LV2_WORKER_ERR_UNKNOWN;
    FileMessage m{};
    std::memcpy(&m, data, size);
    m.path[kMaxPath - 1] = '\0';
    if (m.file < 0 || m.file >= d_.fileProperties) return LV2_WORKER_ERR_UNKNOWN;
    const bool loaded = d_.loadFile(*effect_, m.file, m.path);
    // A file that could not be used: the file still in place is announced again, so the host shows it.
    if (!loaded) m.path[0] = '\0';
    const uint32_t answer = loaded ? size : static_cast<uint32_t>(kHeader + 1);
    respond(handle, answer, &m);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Adapter::workResponse(uint32_t size, const void* data) noexcept {
    if (!data || size <= kHeader || size > sizeof(FileMessage)) return LV2_WORKER_ERR_UNKNOWN;
    int32_t file = 0;
    std::memcpy(&file, data, sizeof file);
    if (file < 0 || file >= d_.fileProperties) return LV2_WORKER_ERR_UNKNOWN;
    FileMessage& m = arrived_[static_cast<std::size_t>(file)];
    std::memset(&m, 0, sizeof m);
    std::memcpy(&m, data, size);
    m.path[kMaxPath - 1] = '\0';
    arrivedPending_[static_cast<std::size_t>(file)] = true;
    return LV2_WORKER_SUCCESS;
}

}  // namespace tavik_lv2
