#include "host/validate/plugin_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/host_error.h"

namespace vsthost::validation {

PluginLog::PluginLog() {
    path_ = (std::filesystem::temp_directory_path() / "vsthost-validate-XXXXXX.log").string();
    fd_ = mkostemps(path_.data(), 4, O_APPEND | O_CLOEXEC);
    if (fd_ < 0) throw HostError("validate: cannot create a log file in " + path_);
}

PluginLog::~PluginLog() {
    close(fd_);
    if (lines() == 0) unlink(path_.c_str());
}

long PluginLog::lines() const {
    std::ifstream in(path_, std::ios::binary);
    long n = 0;
    char last = '\n';
    for (char c; in.get(c);) {
        n += c == '\n';
        last = c;
    }
    return n + (last != '\n');
}

void PluginLog::capture(const std::function<void()>& f) {
    std::fflush(nullptr);
    const int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO);
    dup2(fd_, STDOUT_FILENO);
    dup2(fd_, STDERR_FILENO);
    auto restore = [&] {
        std::fflush(nullptr);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        close(out);
        close(err);
    };
    try {
        f();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

}  // namespace vsthost::validation
