#include "host/host_callback.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "host/validate/realtime_watch.h"

namespace vsthost {
namespace {

constexpr intptr_t kHostVstVersion = 2400;
constexpr int32_t kEnglish = 1;  // kVstLangEnglish

// Contexts alive in this process; resvd1 is trusted only if it names one of them.
std::vector<HostContext*>& liveContexts() {
    static std::vector<HostContext*> contexts;
    return contexts;
}

thread_local HostContext* loadingContext = nullptr;

// Answers calls that cannot be tied to any context (a plug-in calling from a stray thread).
HostContext& fallbackContext() {
    static HostContext context;
    return context;
}

HostContext& contextFor(vst::AEffect* effect) {
    if (effect) {
        auto* candidate = reinterpret_cast<HostContext*>(effect->resvd1);
        const auto& live = liveContexts();
        if (candidate && std::find(live.begin(), live.end(), candidate) != live.end()) return *candidate;
    }
    if (loadingContext) return *loadingContext;
    return fallbackContext();
}

void copyText(void* ptr, std::string_view text, std::size_t capacity) {
    if (!ptr) return;
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(ptr, text.data(), n);
    static_cast<char*>(ptr)[n] = '\0';
}

bool hostCanDo(const char* what) {
    if (!what) return false;
    static constexpr std::string_view yes[] = {"openFileSelector", "closeFileSelector"};
    return std::find(std::begin(yes), std::end(yes), std::string_view(what)) != std::end(yes);
}

char* duplicate(const std::string& text) {
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

}  // namespace

HostContext::HostContext() { liveContexts().push_back(this); }

HostContext::~HostContext() {
    for (const GivenPath& given : given_) {
        delete[] given.path;
        if (given.paths) delete[] given.paths[0];
        delete[] given.paths;
    }
    auto& live = liveContexts();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void HostContext::queueFile(std::string path) {
    std::lock_guard lock(mutex_);
    files_.push_back(std::move(path));
}

std::size_t HostContext::pendingFiles() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

intptr_t HostContext::answer(vst::AEffect* /*effect*/, int32_t opcode, int32_t index, intptr_t /*value*/,
                             void* ptr, float opt) {
    switch (opcode) {
    case vst::audioMasterAutomate: {
        std::lock_guard lock(mutex_);
        ++automationTotal_;
        if (automation_.size() < kMaxAutomation) automation_.push_back({index, opt});
        return 0;
    }
    case vst::audioMasterVersion:
        return kHostVstVersion;
    case vst::audioMasterGetSampleRate:
        return static_cast<intptr_t>(sampleRate);
    case vst::audioMasterGetBlockSize:
        return blockSize;
    case vst::audioMasterCanDo:
        return hostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
    case vst::audioMasterGetVendorString:
        copyText(ptr, "Tavik", vst::kVstMaxVendorStrLen + 1);
        return ptr ? 1 : 0;
    case vst::audioMasterGetProductString:
        copyText(ptr, "vsthost", vst::kVstMaxProductStrLen + 1);
        return ptr ? 1 : 0;
    case vst::audioMasterGetVendorVersion:
        return 1;
    case vst::audioMasterGetLanguage:
        return kEnglish;
    case vst::audioMasterOpenFileSelector: {
        ++fileSelectorRequests_;
        std::lock_guard lock(mutex_);
        return openFileSelector(static_cast<vst::VstFileSelect*>(ptr));
    }
    case vst::audioMasterCloseFileSelector: {
        std::lock_guard lock(mutex_);
        return closeFileSelector(static_cast<vst::VstFileSelect*>(ptr));
    }
    default:
        return 0;
    }
}

intptr_t HostContext::openFileSelector(vst::VstFileSelect* select) {
    if (!select || files_.empty()) return 0;  // an empty queue means the user cancelled
    std::string path = std::move(files_.front());
    files_.pop_front();

    if (select->command == vst::kVstMultipleFilesLoad) {
        auto** paths = new char*[1];
        paths[0] = duplicate(path);
        select->returnMultiplePaths = paths;
        select->nbReturnPath = 1;
        given_.push_back({select, nullptr, paths});
        return 1;
    }
    if (select->returnPath) {
        // The plug-in's own buffer: a cut path would name another file, so a path that does not fit
        // is not delivered at all.
        if (select->sizeReturnPath <= 0 || path.size() + 1 > static_cast<std::size_t>(select->sizeReturnPath)) {
            std::fprintf(stderr, "vsthost: the plug-in's file-selector buffer (%d bytes) cannot hold %s; "
                                 "answered as cancelled\n",
                         static_cast<int>(select->sizeReturnPath), path.c_str());
            return 0;
        }
        std::memcpy(select->returnPath, path.c_str(), path.size() + 1);
        select->nbReturnPath = 1;
        return 1;
    }
    char* copy = duplicate(path);
    select->returnPath = copy;
    select->sizeReturnPath = static_cast<int32_t>(path.size() + 1);
    select->nbReturnPath = 1;
    given_.push_back({select, copy, nullptr});
    return 1;
}

intptr_t HostContext::closeFileSelector(vst::VstFileSelect* select) {
    if (!select) return 0;
    auto it = std::find_if(given_.begin(), given_.end(),
                           [select](const GivenPath& given) { return given.select == select; });
    if (it == given_.end()) return 1;  // the plug-in supplied the memory: nothing of ours to release
    if (it->path && select->returnPath == it->path) {
        select->returnPath = nullptr;
        select->sizeReturnPath = 0;
    }
    if (it->paths && select->returnMultiplePaths == it->paths) {
        select->returnMultiplePaths = nullptr;
        select->nbReturnPath = 0;
    }
    delete[] it->path;
    if (it->paths) delete[] it->paths[0];
    delete[] it->paths;
    given_.erase(it);
    return 1;
}

intptr_t hostCallback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) {
    const watch::Pause notThePlugins;
    return contextFor(effect).answer(effect, opcode, index, value, ptr, opt);
}

LoadingScope::LoadingScope(HostContext& host) : previous_(loadingContext) { loadingContext = &host; }
LoadingScope::~LoadingScope() { loadingContext = previous_; }

void attach(vst::AEffect* effect, HostContext& host) { effect->resvd1 = reinterpret_cast<intptr_t>(&host); }

}  // namespace vsthost
