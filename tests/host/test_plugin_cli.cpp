// The full-stack plug-in driven through vsthost as a user does: impulse responses loaded from the
// command line, presets saved and loaded again.
#include <gtest/gtest.h>

#include <cmath>

#include "host/audio_file.h"
#include "run_vsthost.h"
#include "support/wav_file.h"

namespace {

const std::string kInput = std::string(REFERENCE_DIR) + "/input-mono-44100.wav";

std::vector<float> readAll(const std::string& path) {
    vsthost::AudioReader reader(path);
    std::vector<float> data(static_cast<size_t>(reader.frames() * reader.channels()));
    reader.read(data.data(), reader.frames());
    return data;
}

RunResult render(const TempDir& dir, const std::string& out, std::vector<std::string> options) {
    std::vector<std::string> args = {"render", FULLSTACK_PATH, kInput, dir / out, "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    return runVsthost(args, dir);
}

TEST(PluginCli, LoadsAnImpulseResponseFromTheCommandLine) {
    TempDir dir;
    const std::string cab = testing_support::writeFile(
        dir / "cab.wav", testing_support::wavBytes(testing_support::testImpulseResponse(800), 1, 48000));
    const std::string bad = testing_support::writeFile(dir / "bad.wav", {'R', 'I', 'F', 'F', 0, 0});
    ASSERT_EQ(render(dir, "plain.wav", {"--set", "32=1"}).status, 0);
    RunResult loaded = render(dir, "loaded.wav", {"--open-file", cab, "--set", "21=1", "--set", "32=1"});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    RunResult refused = render(dir, "refused.wav", {"--open-file", bad, "--set", "21=1", "--set", "32=1"});
    ASSERT_EQ(refused.status, 0) << refused.err;
    const auto plain = readAll(dir / "plain.wav"), withIr = readAll(dir / "loaded.wav"),
               badIr = readAll(dir / "refused.wav");
    double energy = 0, change = 0;
    for (size_t i = 0; i < withIr.size(); i += 2) {
        energy += double(withIr[i]) * withIr[i];
        change += std::fabs(double(withIr[i]) - plain[i]);
    }
    EXPECT_GT(energy, 1e-3) << "cabinet 1 plays the loaded response";
    EXPECT_GT(change, 1e-3);
    EXPECT_EQ(plain, badIr) << "a bad file changes nothing: cabinet 1 stays on the empty external source";
}

TEST(PluginCli, SavedPresetsGiveTheSameSoundLater) {
    TempDir dir;
    const std::string cab = testing_support::writeFile(
        dir / "cab.wav", testing_support::wavBytes(testing_support::testImpulseResponse(500), 1, 44100));
    for (std::string kind : {"fxb", "fxp"}) {
        const std::string preset = dir / ("sound." + kind);
        RunResult first = render(dir, "first.wav", {"--program", "3", "--set", "1=1", "--set", "6=0.9", "--set", "26=0.4",
                                                    "--open-file", cab, "--set", "22=1", "--set", "33=1", "--set",
                                                    "31=1", "--save", preset});
        ASSERT_EQ(first.status, 0) << first.err;
        RunResult again = render(dir, "again.wav", {"--load", preset});
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(readAll(dir / "first.wav"), readAll(dir / "again.wav")) << kind;
    }
}

}  // namespace
