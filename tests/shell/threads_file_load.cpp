// Loads of files that block or are too large, and load triggers from the audio thread: no host thread may hang,
// and nothing the host calls meanwhile may wait for the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "shell_test_host.h"

namespace {

using namespace shell_test;
using Clock = std::chrono::steady_clock;

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("tavik_load_" + std::to_string(getpid()) + "_" + name)).string();
}

std::string label(tavik::Tavik& t, int cabinet) {
    char text[256];
    return t.irLabelText(cabinet, text, sizeof text) ? text : "";
}

// Loads `path` into cabinet 1 on one thread while another switches programs and a third processes audio; returns
// whether the load returned within a second. A FIFO reader left blocked is released before the threads are joined.
bool loadsWithinASecond(tavik::Tavik& t, const std::string& path, double& slowestProgramCall) {
    std::atomic<bool> loaded{false}, stop{false};
    std::thread loader([&] {
        load(t, 0, path);
        loaded = true;
    });
    std::thread programs([&] {
        for (int i = 0; !stop; ++i) {
            const auto start = Clock::now();
            t.setProgram(i % 10);
            slowestProgramCall = std::max(slowestProgramCall, std::chrono::duration<double>(Clock::now() - start).count());
        }
    });
    std::vector<float> in(256, 0.01f), l(256), r(256);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    std::thread audio([&] {
        while (!stop) t.processReplacing(ins, outs, 256);
    });
    const auto until = Clock::now() + std::chrono::seconds(1);
    while (!loaded && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool inTime = loaded;
    while (!loaded) {  // a reader blocked in open() on a FIFO returns once a writer appears
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop = true;
    loader.join();
    programs.join();
    audio.join();
    t.processReplacing(ins, outs, 256);  // the ended audio thread's id may come back as the next loader's
    return inTime;
}

TEST(FileLoads, BlockingAndOversizedFilesAreRefusedAtOnceWhileProgramCallsGoOn) {
    auto t = make();
    const std::string fifo = tempPath("cab.wav");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = tempPath("big.wav");
    {
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{3} << 30), 0);  // sparse: costs no disk
        ::close(fd);
    }
    const std::string before = label(*t, 0);
    for (const std::string& path : {fifo, big}) {
        double slowest = 0.0;
        EXPECT_TRUE(loadsWithinASecond(*t, path, slowest)) << path;
        EXPECT_LT(slowest, 0.5) << "a program change waited for the file " << path;
        const std::string base = std::filesystem::path(path).filename().string();
        EXPECT_EQ(label(*t, 0).rfind("cannot read " + base + ": ", 0), 0u) << label(*t, 0);
        EXPECT_EQ(t->irName(0), "Empty") << "a refused file names nothing";
    }
    ::unlink(fifo.c_str());
    ::unlink(big.c_str());
}

TEST(FileLoads, ATriggerOnTheAudioThreadOpensNoSelectorAndWaitsForTheEditor) {
    auto t = make();
    std::vector<float> in(64, 0.0f), l(64), r(64);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {l.data(), r.data()};
    t->processReplacing(ins, outs, 64);  // this thread is now the audio thread

    fileAnswers().push_back("/nonexistent.wav");
    t->setParameter(tavik::kLoadIr1, 1.0f);
    EXPECT_EQ(fileAnswers().size(), 1u) << "the selector was opened on the audio thread";
    EXPECT_TRUE(t->takeDeferredLoad(0));
    EXPECT_FALSE(t->takeDeferredLoad(0)) << "one trigger, one load";
    EXPECT_FALSE(t->takeDeferredLoad(1));

    std::thread([&] { t->setParameter(tavik::kLoadIr2, 1.0f); }).join();
    EXPECT_TRUE(fileAnswers().empty()) << "a trigger from another thread opens the selector as before";
    EXPECT_FALSE(t->takeDeferredLoad(1));
    fileAnswers().clear();
}

}  // namespace
