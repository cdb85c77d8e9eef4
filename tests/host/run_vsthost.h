// Runs the vsthost executable as a user would and collects what it printed.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
    // Lines of stderr, ignoring nothing: the error contract is exactly one line.
    int errLines() const {
        int n = 0;
        for (char c : err) n += c == '\n';
        return n;
    }
};

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vsthost-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A run still going after `timeoutSeconds` (when given) is ended by SIGALRM, so a hang fails instead of waiting.
inline RunResult runVsthost(const std::vector<std::string>& args, const TempDir& dir, unsigned timeoutSeconds = 0) {
    const std::string outPath = dir / "stdout.txt", errPath = dir / "stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv;
        std::string program = VSTHOST_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies(args);
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (timeoutSeconds > 0) alarm(timeoutSeconds);  // survives execv
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readText(outPath);
    r.err = readText(errPath);
    return r;
}
