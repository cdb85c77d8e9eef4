// The file that takes the plug-in's own output (fds 1 and 2) while it is validated; removed when the
// plug-in wrote nothing.
#pragma once

#include <functional>
#include <string>

namespace vsthost::validation {

class PluginLog {
public:
    PluginLog();
    ~PluginLog();
    PluginLog(const PluginLog&) = delete;
    PluginLog& operator=(const PluginLog&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // A last line without its newline counts too.
    long lines() const;

    // Runs `f` with this process's fds 1 and 2 on the log, for a library's constructors that print.
    void capture(const std::function<void()>& f);

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace vsthost::validation
