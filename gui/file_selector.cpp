#include "gui/file_selector.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace gui {

bool captureCommandOutput(const char* const* argv, std::string& output) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    output.clear();
    char buf[512];
    for (;;) {
        ssize_t got = read(fds[0], buf, sizeof(buf));
        if (got > 0) {
            output.append(buf, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !output.empty();
}

}  // namespace gui

CFileSelector::~CFileSelector() {
    if (openedWithHost_ && effect_)
        effect_->callHost(vst::audioMasterCloseFileSelector, 0, 0, openedWithHost_, 0.0f);
}

int32_t CFileSelector::run(vst::VstFileSelect* request) {
    if (!request || !request->returnPath || request->sizeReturnPath <= 1) return 0;
    request->returnPath[0] = '\0';
    if (effect_ && effect_->canHostDo("openFileSelector")) return runWithHost(request) ? 1 : 0;
    return runDialog(request) ? 1 : 0;
}

bool CFileSelector::runWithHost(vst::VstFileSelect* request) {
    if (effect_->callHost(vst::audioMasterOpenFileSelector, 0, 0, request, 0.0f) == 0) return false;
    openedWithHost_ = request;
    request->returnPath[request->sizeReturnPath - 1] = '\0';
    return request->returnPath[0] != '\0';
}

bool CFileSelector::runDialog(vst::VstFileSelect* request) {
    // A dialog needs a display; without one there is nobody to ask.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    std::string title = "--title=";
    title.append(request->title, strnlen(request->title, sizeof(request->title)));
    std::string patterns;
    for (int32_t i = 0; i < request->nbFileTypes && request->fileTypes; ++i) {
        const vst::VstFileType& type = request->fileTypes[i];
        if (!type.unixType[0]) continue;
        if (!patterns.empty()) patterns.push_back(' ');
        patterns.append("*.").append(type.unixType, strnlen(type.unixType, sizeof(type.unixType)));
    }
    if (patterns.empty()) patterns = "*";
    std::string typeName = "Files";
    if (request->nbFileTypes > 0 && request->fileTypes)
        typeName.assign(request->fileTypes[0].name, strnlen(request->fileTypes[0].name, sizeof(request->fileTypes[0].name)));
    std::string filter = "--file-filter=";
    filter.append(typeName).append(" | ").append(patterns);
    std::string path;
    const char* zenity[] = {"zenity", "--file-selection", title.c_str(), filter.c_str(), nullptr};
    bool chosen = gui::captureCommandOutput(zenity, path);
    if (!chosen) {
        std::string kfilter = patterns;
        kfilter.append("|").append(typeName);
        const char* kdialog[] = {"kdialog", "--getopenfilename", ".", kfilter.c_str(), "--title", title.c_str() + 8,
                                 nullptr};
        chosen = gui::captureCommandOutput(kdialog, path);
    }
    if (!chosen || path.size() >= static_cast<size_t>(request->sizeReturnPath)) return false;
    std::memcpy(request->returnPath, path.c_str(), path.size() + 1);
    return true;
}
