// vsthost validate: a host-behaviour torture run. Each check runs in a forked child with a freshly
// loaded plug-in, so a crash or a hang is reported as that check's failure and the run goes on.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/host_error.h"
#include "host/plugin.h"
#include "host/validate/checks.h"
#include "host/validate/plugin_log.h"
#include "host/validate/probe.h"
#include "host/validate/report.h"

namespace vsthost {
namespace {

using namespace validation;

// How often the parent looks whether a child that has gone quiet has ended.
constexpr int kChildPollMilliseconds = 100;

[[noreturn]] void runChild(const Check& check, int fd, const std::string& path, int level) {
    alarm(kCheckTimeoutSeconds);
    Probe probe(fd, path, level);
    try {
        check.run(probe);
        probe.step("closing the plug-in");
    } catch (const std::exception& e) {
        probe.fail(e.what());
    }
    probe.end();
    const int status = probe.failures() > 0 ? 1 : 0;
    close(fd);
    _exit(status);
}

Result runCheck(const Check& check, const std::string& path, int level, int logFd) {
    int fds[2];
    if (pipe(fds) != 0) throw HostError("validate: cannot create a pipe");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw HostError("validate: cannot fork");
    if (pid == 0) {
        close(fds[0]);
        // Whatever the plug-in prints goes to the log, not into the report.
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        runChild(check, fds[1], path, level);
    }
    close(fds[1]);
    // Read until the pipe closes or, when a process the plug-in started holds it open, until the child
    // has ended and everything it sent is read.
    std::string received;
    char buffer[4096];
    int status = 0;
    bool ended = false;
    for (;;) {
        pollfd reader{fds[0], POLLIN, 0};
        const int ready = poll(&reader, 1, ended ? 0 : kChildPollMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;  // closed
        }
        if (ready < 0 || ended) break;
        ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    close(fds[0]);
    while (!ended && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return readResult(check.name, received, status);
}

}  // namespace

int runValidate(const Options& options) {
    PluginLog log;
    // Something that is not a plug-in at all fails here with one line; the entry point itself is
    // first called in a child, by the load check.
    log.capture([&] { Plugin::checkLibrary(options.plugin); });
    std::string known;
    for (const Check& check : kChecks) known += std::string(known.empty() ? "" : ", ") + check.name;
    auto chosen = [&](const Check& check) {
        return options.checks.empty() ||
               std::find(options.checks.begin(), options.checks.end(), check.name) != options.checks.end();
    };
    for (const std::string& name : options.checks)
        if (std::none_of(std::begin(kChecks), std::end(kChecks), [&](const Check& c) { return name == c.name; }))
            throw HostError("validate has no check '" + name + "'; it has " + known);
    std::vector<Result> all;
    FILE* out = results();
    for (const Check& check : kChecks) {
        if (!chosen(check)) continue;
        all.push_back(runCheck(check, options.plugin, options.level, log.fd()));
        if (!options.json) print(out, all.back());
        if (&check == &kChecks[0] && !all.back().pass) break;  // nothing else can run without loading
    }
    const long logLines = log.lines();
    if (options.json) printJson(out, options.plugin, options.level, all, logLines, log.path());
    else printTotals(out, all, logLines, log.path());
    std::fflush(out);
    return std::any_of(all.begin(), all.end(), [](const Result& r) { return !r.pass; }) ? 1 : 0;
}

}  // namespace vsthost
