// An X server of the test's own (Xvfb on a display number nobody uses), which the test can take away
// under a running editor. The server dies with the test process even if the test ends abnormally.
#pragma once

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace testing_support {

class PrivateXvfb {
public:
    PrivateXvfb() {
        for (int number = 140 + getpid() % 40, tries = 0; tries < 60 && pid_ <= 0; ++number, ++tries)
            if (!taken(number)) start(number);
    }
    ~PrivateXvfb() { stop(); }
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    bool running() const { return pid_ > 0; }
    // ":N", for XOpenDisplay and DISPLAY.
    const std::string& name() const { return name_; }

    // Ends the server at once; its clients' connections break.
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        // A killed server leaves its lock and socket behind.
        unlink(("/tmp/.X" + number_ + "-lock").c_str());
        unlink(("/tmp/.X11-unix/X" + number_).c_str());
    }

private:
    static bool taken(int number) {
        struct stat st {};
        const std::string n = std::to_string(number);
        return stat(("/tmp/.X" + n + "-lock").c_str(), &st) == 0 || stat(("/tmp/.X11-unix/X" + n).c_str(), &st) == 0;
    }

    void start(int number) {
        number_ = std::to_string(number);
        name_ = ":" + number_;
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid < 0) return;
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", name_.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            // Gone already: the number was taken after all.
            if (waitpid(pid, nullptr, WNOHANG) == pid) return;
            if (Display* probe = XOpenDisplay(name_.c_str())) {
                XCloseDisplay(probe);
                pid_ = pid;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }

    pid_t pid_ = -1;
    std::string number_;
    std::string name_;
};

}  // namespace testing_support
