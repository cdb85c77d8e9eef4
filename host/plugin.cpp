#include "host/plugin.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/host_error.h"

namespace vsthost {
namespace {

constexpr std::size_t kTextBuffer = 256;  // generous: some plug-ins write past the interface's limits
constexpr intptr_t kLargestChunk = intptr_t{1} << 30;

std::string oneLine(const char* text) {
    std::string line = text ? text : "unknown error";
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

// dlsym on a handle also searches the library's dependencies; an entry point must be the library's own.
bool definedIn(void* library, void* symbol) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr(symbol, &info) || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map) return false;
    return info.dli_fname && map->l_name && std::strcmp(info.dli_fname, map->l_name) == 0;
}

vst::PluginEntryProc findEntry(void* library) {
    for (const char* name : {"VSTPluginMain", "main"}) {
        void* symbol = dlsym(library, name);
        if (symbol && definedIn(library, symbol)) return reinterpret_cast<vst::PluginEntryProc>(symbol);
    }
    return nullptr;
}

}  // namespace

namespace {

struct Library {
    void* handle;
    vst::PluginEntryProc entry;
};

Library openLibrary(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        throw HostError("cannot open plug-in " + path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) throw HostError("plug-in " + path + " is not a file");

    // Without a slash dlopen would search the library path instead of the current folder.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) throw HostError(path + " is not a loadable plug-in: " + oneLine(dlerror()));

    vst::PluginEntryProc entry = findEntry(library);
    if (!entry) {
        dlclose(library);
        throw HostError(path + " is not a VST plug-in: it has neither VSTPluginMain nor main");
    }
    return {library, entry};
}

}  // namespace

void Plugin::checkLibrary(const std::string& path) { dlclose(openLibrary(path).handle); }

std::unique_ptr<Plugin> Plugin::load(const std::string& path, HostContext& host) {
    const auto [library, entry] = openLibrary(path);
    vst::AEffect* effect = nullptr;
    try {
        LoadingScope scope(host);
        effect = entry(&hostCallback);
    } catch (...) {
        dlclose(library);
        throw HostError(path + ": the plug-in's entry point threw an exception");
    }
    if (!effect) {
        dlclose(library);
        throw HostError(path + ": the plug-in's entry point returned no effect");
    }
    if (effect->magic != vst::kEffectMagic) {
        // The record is not one we can close; the library is released and the record abandoned.
        dlclose(library);
        throw HostError(path + ": the entry point returned a record without the VST magic 'VstP'");
    }
    attach(effect, host);
    std::unique_ptr<Plugin> plugin(new Plugin(path, library, effect, host));
    plugin->dispatch(vst::effOpen);
    return plugin;
}

Plugin::Plugin(std::string path, void* library, vst::AEffect* effect, HostContext& host)
    : path_(std::move(path)), library_(library), effect_(effect), host_(host) {}

Plugin::~Plugin() {
    if (resumed_) dispatch(vst::effMainsChanged, 0, 0);  // some plug-ins assert on a suspend while suspended
    dispatch(vst::effClose);
    dlclose(library_);
}

intptr_t Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::setSampleRate(double rate) {
    host_.sampleRate = rate;
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void Plugin::setBlockSize(int32_t frames) {
    host_.blockSize = frames;
    dispatch(vst::effSetBlockSize, 0, frames);
}

void Plugin::resume() {
    dispatch(vst::effMainsChanged, 0, 1);
    resumed_ = true;
}

void Plugin::suspend() {
    dispatch(vst::effMainsChanged, 0, 0);
    resumed_ = false;
}

void Plugin::process(float** inputs, float** outputs, int32_t frames) {
    if (effect_->processReplacing && hasFlag(vst::effFlagsCanReplacing)) {
        effect_->processReplacing(effect_, inputs, outputs, frames);
        return;
    }
    // The accumulating call adds to the outputs, so it needs them silent. With in-place buffers the
    // input would be cleared with them; such old plug-ins are simply given separate buffers by callers.
    for (int32_t c = 0; c < effect_->numOutputs; ++c)
        std::fill(outputs[c], outputs[c] + std::max(frames, 0), 0.0f);
    if (effect_->process) effect_->process(effect_, inputs, outputs, frames);
}

float Plugin::parameter(int32_t index) { return effect_->getParameter(effect_, index); }

void Plugin::setParameter(int32_t index, float value) { effect_->setParameter(effect_, index, value); }

std::string Plugin::text(int32_t opcode, int32_t index) {
    char buffer[kTextBuffer] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = '\0';
    return buffer;
}

std::vector<std::string> Plugin::programNames() {
    const int32_t count = std::max(effect_->numPrograms, 0);
    std::vector<std::string> names(static_cast<std::size_t>(count));
    std::vector<int32_t> unanswered;
    for (int32_t i = 0; i < count; ++i) {
        char buffer[kTextBuffer] = {};
        if (dispatch(vst::effGetProgramNameIndexed, i, 0, buffer)) {
            buffer[kTextBuffer - 1] = '\0';
            names[static_cast<std::size_t>(i)] = buffer;
        } else {
            unanswered.push_back(i);
        }
    }
    if (!unanswered.empty()) {
        const int32_t current = program();
        for (int32_t i : unanswered) {
            setProgram(i);
            names[static_cast<std::size_t>(i)] = programName();
        }
        setProgram(current);
    }
    return names;
}

std::vector<uint8_t> Plugin::chunk(bool preset) {
    void* data = nullptr;
    const intptr_t size = dispatch(vst::effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    if (size > kLargestChunk) throw HostError(path_ + ": the plug-in reported an implausible chunk size");
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
}

intptr_t Plugin::setChunk(std::vector<uint8_t> data, bool preset) {
    return dispatch(vst::effSetChunk, preset ? 1 : 0, static_cast<intptr_t>(data.size()), data.data());
}

}  // namespace vsthost
