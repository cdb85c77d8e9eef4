// vsthost on a real third-party plug-in from Debian (dragonfly-reverb-vst), when it is installed.
#include <gtest/gtest.h>

#include <cmath>

#include "host/audio_file.h"
#include "run_vsthost.h"

namespace {
const char* const kReverb = "/usr/lib/lxvst/DragonflyRoomReverb-vst.so";  // exports only `main`
}

TEST(ThirdParty, InfoListsTheParametersOfDragonflyRoomReverb) {
    if (!std::filesystem::exists(kReverb)) GTEST_SKIP() << "dragonfly-reverb-vst is not installed";
    TempDir dir;
    const RunResult r = runVsthost({"info", kReverb, "--json"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"name\": \"Dragonfly Room Reverb\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"index\": 0, \"name\": \"Dry Level\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"name\": \"\""), std::string::npos) << "every parameter has a name: " << r.out;
}

TEST(ThirdParty, RenderProcessesAFileThroughDragonflyRoomReverb) {
    if (!std::filesystem::exists(kReverb)) GTEST_SKIP() << "dragonfly-reverb-vst is not installed";
    TempDir dir;
    std::vector<float> click(44100, 0.0f);
    click[100] = 0.9f;
    vsthost::writeWav(dir / "click.wav", {click}, 44100);
    const RunResult r = runVsthost({"render", kReverb, dir / "click.wav", dir / "wet.wav", "--quiet"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;

    vsthost::AudioReader wet(dir / "wet.wav");
    ASSERT_EQ(wet.channels(), 2);
    ASSERT_EQ(wet.frames(), 44100);
    std::vector<float> samples(2 * 44100);
    wet.read(samples.data(), 44100);
    double tail = 0.0;  // the reverb keeps sounding well after the click
    for (std::size_t i = 2 * 22050; i < samples.size(); ++i) {
        ASSERT_TRUE(std::isfinite(samples[i])) << "sample " << i;
        tail += std::abs(samples[i]);
    }
    EXPECT_GT(tail, 0.0);
}
