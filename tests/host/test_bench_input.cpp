// What bench feeds a plug-in: files mapped to its inputs and looped, silence as exact zeros.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "host/audio_file.h"
#include "host/bench_input.h"
#include "host/host_error.h"

namespace {

std::vector<float> run(const vsthost::BenchInput& input, int32_t channel, int64_t at, int32_t frames) {
    std::vector<float> out(static_cast<std::size_t>(frames), -1.0f);
    input.fill(channel, at, frames, out.data());
    return out;
}

class BenchInputFile : public ::testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() / ("bench-input-" + std::to_string(getpid()) + ".wav")).string();
    void TearDown() override { std::filesystem::remove(path); }
    vsthost::Options options(std::optional<double> rate = {}) {
        vsthost::Options o;
        o.command = vsthost::Command::Bench;
        o.input = path;
        o.rate = rate;
        return o;
    }
};

}  // namespace

TEST_F(BenchInputFile, AMonoFileFeedsEveryInputAndPlaysOnceOrLooped) {
    vsthost::writeWav(path, {{0.1f, 0.2f, 0.3f}}, 48000);
    const vsthost::BenchInput input(options());
    EXPECT_EQ(input.rate(), 48000.0) << "the file's rate";
    EXPECT_EQ(input.framesToRun(std::nullopt), 3) << "the whole file once";
    EXPECT_EQ(input.framesToRun(1.0), 48000) << "--seconds loops or cuts it";
    const std::vector<float> looped = {0.3f, 0.1f, 0.2f, 0.3f, 0.1f};
    EXPECT_EQ(run(input, 0, 2, 5), looped);
    EXPECT_EQ(run(input, 1, 2, 5), looped) << "the second input gets the only channel too";
}

TEST_F(BenchInputFile, ChannelsGoToTheirInputsAndRatesMustMatch) {
    vsthost::writeWav(path, {{0.1f, 0.2f}, {-0.1f, -0.2f}}, 44100);
    const vsthost::BenchInput input(options(44100.0));
    EXPECT_EQ(run(input, 0, 0, 2), (std::vector<float>{0.1f, 0.2f}));
    EXPECT_EQ(run(input, 1, 0, 2), (std::vector<float>{-0.1f, -0.2f}));
    EXPECT_EQ(run(input, 2, 0, 2), (std::vector<float>{0.1f, 0.2f})) << "a third input gets the first channel";
    EXPECT_THROW(vsthost::BenchInput{options(48000.0)}, vsthost::HostError) << "no resampling";

    vsthost::writeWav(path, {std::vector<float>{}}, 44100);
    EXPECT_THROW(vsthost::BenchInput{options()}, vsthost::HostError) << "an empty file";
}

TEST(BenchInput, SilenceIsExactZerosAndTheRiffIsTheDefault) {
    vsthost::Options o;
    o.silence = true;
    o.rate = 96000.0;
    const vsthost::BenchInput silence(o);
    EXPECT_EQ(silence.name(), "silence");
    EXPECT_EQ(silence.framesToRun(std::nullopt), 960000) << "10 s";
    for (float v : run(silence, 1, 12345, 64)) ASSERT_EQ(v, 0.0f);

    const vsthost::BenchInput riff{vsthost::Options{}};
    EXPECT_EQ(riff.name(), "guitar riff");
    EXPECT_EQ(riff.framesToRun(std::nullopt), 441000);
    EXPECT_EQ(run(riff, 0, 1000, 64), run(riff, 1, 1000, 64));
}
