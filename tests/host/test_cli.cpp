// vsthost as a user runs it, on the fixture plug-ins: errors, rendering, presets, validation.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

#include "host/audio_file.h"
#include "host/presets.h"
#include "vst/aeffect.h"
#include "run_vsthost.h"

namespace {

constexpr int kRate = 44100;

std::vector<float> ramp(std::size_t n, float scale) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = scale * std::sin(0.01f * static_cast<float>(i));
    return v;
}

std::vector<std::vector<float>> readPlanar(const std::string& path) {
    vsthost::AudioReader reader(path);
    std::vector<float> interleaved(static_cast<std::size_t>(reader.frames() * reader.channels()));
    reader.read(interleaved.data(), reader.frames());
    std::vector<std::vector<float>> planar(static_cast<std::size_t>(reader.channels()));
    for (std::size_t i = 0; i < interleaved.size(); ++i)
        planar[i % planar.size()].push_back(interleaved[i]);
    return planar;
}

void expectScaled(const std::vector<float>& out, const std::vector<float>& in, float gain, const char* what) {
    ASSERT_EQ(out.size(), in.size()) << what;
    for (std::size_t i = 0; i < in.size(); ++i)
        ASSERT_FLOAT_EQ(out[i], in[i] * gain) << what << " at frame " << i;
}

class Cli : public ::testing::Test {
protected:
    TempDir dir;
    std::string input = dir / "in.wav";
    std::vector<float> signal = ramp(3000, 0.5f);
    void SetUp() override { vsthost::writeWav(input, {signal}, kRate); }
    RunResult run(const std::vector<std::string>& args) { return runVsthost(args, dir); }
    RunResult render(std::vector<std::string> extra, const std::string& out = "out.wav") {
        std::vector<std::string> args = {"render", FAKE_PLUGIN_PATH, input, dir / out, "--quiet", "--block", "256"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }
};

void expectOneLineFailure(const RunResult& r, const std::string& mention, const std::string& what) {
    EXPECT_NE(r.status, 0) << what;
    EXPECT_EQ(r.errLines(), 1) << what << ": " << r.err;
    EXPECT_EQ(r.err.rfind("vsthost: ", 0), 0u) << what << ": " << r.err;
    EXPECT_NE(r.err.find(mention), std::string::npos) << what << ": " << r.err;
}

}  // namespace

TEST_F(Cli, FailuresGiveOneLineAndNonZeroStatus) {
    const std::string text = dir / "notes.so";
    std::ofstream(text) << "not a library\n";
    expectOneLineFailure(run({"info", text}), "not a loadable plug-in", "text file");
    expectOneLineFailure(run({"info", NO_ENTRY_PATH}), "neither VSTPluginMain nor main", "no entry point");
    expectOneLineFailure(run({"info", NULL_ENTRY_PATH}), "returned no effect", "null effect");
    expectOneLineFailure(run({"render", BAD_MAGIC_PATH, input, dir / "o.wav"}), "without the VST magic", "bad magic");
    expectOneLineFailure(run({"validate", NO_ENTRY_PATH}), "neither VSTPluginMain nor main", "validate, no entry point");
    expectOneLineFailure(run({"validate", FAKE_PLUGIN_PATH, "--check", "speed"}), "no check 'speed'", "unknown check");
    expectOneLineFailure(run({"info", dir / "missing.so"}), "cannot open plug-in", "missing plug-in");
    expectOneLineFailure(run({"render", FAKE_PLUGIN_PATH, dir / "missing.wav", dir / "o.wav"}), "cannot read input",
                         "missing input");
    expectOneLineFailure(render({"--set", "1"}), "INDEX=VALUE", "--set without =");
    expectOneLineFailure(render({"--set", "1=loud"}), "not a number", "--set value");
    expectOneLineFailure(render({"--set", "3=0.5"}), "out of range", "--set index past the 3 parameters");
    expectOneLineFailure(render({"--program", "3"}), "out of range", "--program past the 3 programs");
    expectOneLineFailure(render({"--wobble"}), "unknown option", "unknown option");
    expectOneLineFailure(render({"--rate", "48000"}), "does not resample", "rate unlike the file's");
    expectOneLineFailure(run({"render", FAKE_PLUGIN_PATH, input, input}), "is the input", "output over input");
    expectOneLineFailure(run({"render", FAULTY_PLUGIN_PATH, input, dir / "o.wav", "--set", "1=1"}), "non-finite",
                         "NaN output");
    expectOneLineFailure(render({"--open-file", input}), "did not ask for a file", "file nobody asked for");
    expectOneLineFailure(render({"--open-file", dir / "none.wav", "--set", "2=1"}), "cannot read --open-file",
                         "unreadable --open-file");
    const RunResult bare = run({});
    EXPECT_EQ(bare.status, 2) << "no command is no success";
    EXPECT_NE(bare.err.find("usage"), std::string::npos);
    EXPECT_EQ(run({"--help"}).status, 0);
}

TEST_F(Cli, FilesThatWouldBlockOrFloodAreRefusedAtOnce) {
    const std::string fifoPreset = dir / "fifo.fxp", fifoInput = dir / "fifo.wav", sparse = dir / "huge.fxp";
    ASSERT_EQ(mkfifo(fifoPreset.c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(fifoInput.c_str(), 0644), 0);
    std::ofstream{sparse}.close();
    std::filesystem::resize_file(sparse, uint64_t{2} << 30);  // sparse: takes no disk space
    const struct {
        std::vector<std::string> args;
        const char* mention;
    } cases[] = {
        {{"render", FAKE_PLUGIN_PATH, input, dir / "o.wav", "--load", fifoPreset}, "cannot load"},
        {{"render", FAKE_PLUGIN_PATH, fifoInput, dir / "o.wav"}, "cannot read input"},
        {{"bench", FAKE_PLUGIN_PATH, "--input", fifoInput}, "not a regular file"},
        {{"render", FAKE_PLUGIN_PATH, input, dir / "o.wav", "--load", "/dev/zero"}, "not a regular file"},
        {{"render", FAKE_PLUGIN_PATH, input, dir / "o.wav", "--load", sparse}, "over the limit"},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = runVsthost(c.args, dir, 10);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0) << c.args.back();
        expectOneLineFailure(r, c.mention, c.args.back());
    }
}

TEST_F(Cli, InfoJsonDescribesThePlugin) {
    const RunResult r = run({"info", FAKE_PLUGIN_PATH, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected : {"\"name\": \"Fake\"", "\"uniqueID\": \"Fake\"", "\"version\": 3", "\"numParams\": 3",
                                 "\"flags\": [\"effFlagsCanReplacing\", \"effFlagsProgramChunks\"]",
                                 "{\"index\": 0, \"name\": \"Gain\", \"label\": \"\", \"display\": \"\", \"value\": 1}",
                                 "\"programs\": [\"Prog0\", \"Prog1\", \"Prog2\"]"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << " in " << r.out;
}

TEST_F(Cli, RenderMapsChannelsAndMatchesInPlace) {
    ASSERT_EQ(render({"--set", "0=0.25"}).status, 0);
    auto out = readPlanar(dir / "out.wav");
    ASSERT_EQ(out.size(), 2u);  // the plug-in's output count
    expectScaled(out[0], signal, 0.25f, "mono input, left");
    expectScaled(out[1], signal, 0.25f, "mono input, right");

    ASSERT_EQ(render({"--set", "0=0.25", "--in-place"}, "inplace.wav").status, 0);
    EXPECT_EQ(readPlanar(dir / "inplace.wav"), out);

    // Three channels in: the third is dropped, the first two reach the plug-in's two inputs.
    const auto second = ramp(3000, -0.3f), third = ramp(3000, 0.9f);
    vsthost::writeWav(input, {signal, second, third}, kRate);
    ASSERT_EQ(render({"--set", "0=0.5"}).status, 0);
    out = readPlanar(dir / "out.wav");
    expectScaled(out[0], signal, 0.5f, "three channels, left");
    expectScaled(out[1], second, 0.5f, "three channels, right");
}

TEST_F(Cli, PresetsRoundTripThroughFiles) {
    ASSERT_EQ(render({"--set", "0=0.25", "--save", dir / "p.fxp"}).status, 0);
    ASSERT_EQ(render({"--load", dir / "p.fxp"}, "loaded.wav").status, 0);
    expectScaled(readPlanar(dir / "loaded.wav")[0], signal, 0.25f, "program file");

    // A bank remembers its current program (the fixture divides by 1 + program).
    ASSERT_EQ(render({"--program", "1", "--set", "0=0.5", "--save", dir / "b.fxb"}).status, 0);
    ASSERT_EQ(render({"--load", dir / "b.fxb"}, "bank.wav").status, 0);
    expectScaled(readPlanar(dir / "bank.wav")[0], signal, 0.25f, "bank file");

    const std::string bank = readText(dir / "b.fxb");
    EXPECT_EQ(bank.substr(0, 4), "CcnK");
    EXPECT_EQ(bank.substr(8, 4), "FBCh");
    EXPECT_EQ(bank.substr(16, 4), "Fake");
    EXPECT_EQ(readText(dir / "p.fxp").substr(8, 4), "FPCh");

    // A file for another plug-in is refused.
    vsthost::fx::File other = vsthost::fx::decode(std::vector<uint8_t>(bank.begin(), bank.end()));
    other.fxID = vst::fourCC("Othr");
    const auto bytes = vsthost::fx::encode(other);
    std::ofstream(dir / "other.fxb", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
    expectOneLineFailure(render({"--load", dir / "other.fxb"}), "is for plug-in 'Othr', not 'Fake'", "foreign preset");
}

TEST_F(Cli, OpenFileAnswersThePluginsFileSelector) {
    ASSERT_EQ(render({"--open-file", input, "--set", "2=1", "--save", dir / "p.fxp"}).status, 0);
    EXPECT_NE(readText(dir / "p.fxp").find(input), std::string::npos) << "the plug-in got the queued path";
}

TEST_F(Cli, BenchReportsCpuPerAudioSecond) {
    const RunResult r = run({"bench", FAKE_PLUGIN_PATH, "--seconds", "0.5", "--json", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* key : {"\"cpuPerAudioSecond\": ", "\"realTimeFactor\": ", "\"nsPerSample\": ", "\"frames\": 22050"})
        EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;

    const RunResult silence = run({"bench", FAKE_PLUGIN_PATH, "--silence", "--seconds", "0.5", "--json", "--quiet"});
    ASSERT_EQ(silence.status, 0) << silence.err;
    EXPECT_NE(silence.out.find("\"input\": \"silence\""), std::string::npos) << silence.out;
    const RunResult file = run({"bench", FAKE_PLUGIN_PATH, "--input", input, "--json", "--quiet"});
    ASSERT_EQ(file.status, 0) << file.err;
    EXPECT_NE(file.out.find("\"frames\": 3000"), std::string::npos) << "the whole file once: " << file.out;
}

TEST_F(Cli, ValidatePassesASoundPluginAndReportsEachFault) {
    const RunResult good = run({"validate", FAKE_PLUGIN_PATH, "--level", "2"});
    EXPECT_EQ(good.status, 0) << good.out;
    EXPECT_NE(good.out.find("validate: 15 passed, 0 failed"), std::string::npos) << good.out;
    if (VSTHOST_COUNTS) {
        EXPECT_NE(good.out.find("setParameter 2 asked for a file selector (answered as cancelled)"), std::string::npos)
            << "the fixture's file request is a load trigger, answered as cancelled: " << good.out;
    }

    const RunResult bad = run({"validate", FAULTY_PLUGIN_PATH, "--level", "1"});
    EXPECT_NE(bad.status, 0);
    const RunResult one = run({"validate", FAULTY_PLUGIN_PATH, "--level", "1", "--check", "resend"});
    EXPECT_NE(one.out.find("validate: 0 passed, 1 failed"), std::string::npos) << "--check runs that check alone: " << one.out;
    std::vector<std::string> expected = {
        "FAIL parameter-sweep  crashed with SIGABRT while setParameter(0 \"Gain\", -1)",  // names the parameter
        "FAIL blocks           wrote past the end of output channel 1 (right), 2 times, first in a 7-frame block at 44100 Hz",
        "PASS lifecycle",  // the run goes on after a crash
        "FAIL resend           setParameter(0 \"Gain\") re-sent with its current value 1 changed the output",
        "FAIL resend           effSetSampleRate(44100), the current rate, changed the output",
        "beyond +-32",  // threads: the block after a rate change is 100 times too loud
        "FAIL silence-cpu      as loaded: silence on every input costs",
    };
    if (VSTHOST_COUNTS) {
        expected.push_back("FAIL realtime         processReplacing: 4000 lock calls (first pthread_mutex_lock) in 2000 blocks");
        expected.push_back("FAIL realtime         setParameter(0 \"Gain\"): ");
        expected.push_back(" allocations (first malloc)");
    }
    for (const std::string& line : expected) EXPECT_NE(bad.out.find(line), std::string::npos) << line << " in " << bad.out;
    EXPECT_EQ(bad.out.find("FAIL preset-files"), std::string::npos) << bad.out;

    // A repeated failure is one line with its count; what the plug-in prints stays out of the report.
    const auto overrun = bad.out.find("wrote past the end");
    EXPECT_EQ(bad.out.find("wrote past the end", overrun + 1), std::string::npos) << bad.out;
    EXPECT_EQ(bad.out.find("fake:"), std::string::npos) << bad.out;
    EXPECT_EQ(bad.err.find("fake:"), std::string::npos) << bad.err;
    const std::string logLine = "validate: the plug-in wrote ", logPath = " lines of its own; full log: ";
    const auto at = bad.out.find(logLine), pathAt = bad.out.find(logPath, at);
    ASSERT_NE(pathAt, std::string::npos) << bad.out;
    const std::string log = bad.out.substr(pathAt + logPath.size(), bad.out.find('\n', pathAt) - pathAt - logPath.size());
    const std::string logged = readText(log);
    std::filesystem::remove(log);
    EXPECT_NE(logged.find("fake: tail size asked\nfake: warning, nothing to say\nfake: really nothing\n"),
              std::string::npos) << logged;
    EXPECT_EQ(bad.out.substr(at + logLine.size(), pathAt - at - logLine.size()),
              std::to_string(std::count(logged.begin(), logged.end(), '\n')));
    EXPECT_EQ(good.out.find("the plug-in wrote"), std::string::npos) << "nothing printed, no log: " << good.out;
}

TEST_F(Cli, ValidateCountsEveryFamilyOfCallsAndForwardsThemIntact) {
    if (!VSTHOST_COUNTS) GTEST_SKIP() << "sanitizer builds have no counting allocator";
    const RunResult r = run({"validate", REALTIME_PLUGIN_PATH, "--level", "1", "--check", "realtime"});
    EXPECT_EQ(r.out.find("crashed"), std::string::npos) << "a call forwarded wrongly aborts the fixture: " << r.out;
    EXPECT_EQ(r.out.find("processReplacing"), std::string::npos) << "it copies and calls nothing: " << r.out;
    const char* const first[] = {"malloc", "posix_memalign", "pthread_mutex_lock", "sem_post",
                                 "open", "nanosleep", "syscall", "fprintf"};
    for (int index = 0; index < 8; ++index) {
        const std::string line = "setParameter(" + std::to_string(index) + "): ";
        const auto at = r.out.find(line);
        ASSERT_NE(at, std::string::npos) << line << " in " << r.out;
        const std::string rest = r.out.substr(at, r.out.find('\n', at) - at);
        EXPECT_NE(rest.find(std::string("(first ") + first[index] + ")"), std::string::npos) << rest;
    }
}

// A process the plug-in leaves behind keeps the check's pipe open; the check is over when its child is.
TEST_F(Cli, ValidateDoesNotWaitForProcessesThePluginLeavesBehind) {
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = runVsthost({"validate", LINGERING_PLUGIN_PATH, "--level", "1", "--check", "load"}, dir, 10);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("validate: 1 passed, 0 failed"), std::string::npos) << r.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A plug-in built with 64-bit file offsets, or waiting with a time limit through the standard library,
// makes its calls under names other than the plain ones.
TEST_F(Cli, ValidateCountsTheVariantsOfCallsAPluginsHeadersChoose) {
    if (!VSTHOST_COUNTS) GTEST_SKIP() << "sanitizer builds have no counting allocator";
    const RunResult r = run({"validate", CALL_VARIANTS_PLUGIN_PATH, "--level", "1", "--check", "realtime"});
    EXPECT_EQ(r.out.find("crashed"), std::string::npos) << "a call forwarded wrongly aborts the fixture: " << r.out;
    const char* const first[] = {"lseek64", "pread64", "pwrite64", "mmap64", "creat64",
                                 "pthread_mutex_clocklock", "pthread_rwlock_clockrdlock", "pthread_cond_clockwait"};
    for (int index = 0; index < 8; ++index) {
        const std::string line = "setParameter(" + std::to_string(index) + "): ";
        const auto at = r.out.find(line);
        ASSERT_NE(at, std::string::npos) << line << " in " << r.out;
        const std::string rest = r.out.substr(at, r.out.find('\n', at) - at);
        EXPECT_NE(rest.find(std::string("(first ") + first[index] + ")"), std::string::npos) << rest;
    }
}

TEST_F(Cli, ValidateNamesTheOtherThreadsLastCallInACrash) {
    const RunResult r = run({"validate", RACY_PLUGIN_PATH, "--level", "1", "--check", "threads", "--check", "resend"});
    EXPECT_NE(r.out.find("FAIL threads          crashed with SIGABRT while processing while a second thread calls "
                         "setParameter, programs, chunks and sample rates (its last call: effSetSampleRate("),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("PASS resend"), std::string::npos) << "one thread alone is no race: " << r.out;
}
