// The preamp-only effect object: parameters, channel memories, programs and the state chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "preamp/preamp_parameters.h"
#include "preamp_test_util.h"

using namespace tavik_preamp;
using preamp_test::makeEffect;

namespace {

// Records every parameter change the effect passes on to its editor.
class SpyEditor : public vst::AEffEditor {
public:
    SpyEditor(vst::AudioEffect* effect, std::vector<int32_t>* log) : AEffEditor(effect), log_(log) {}
    void setParameter(int32_t index, float) override { log_->push_back(index); }

private:
    std::vector<int32_t>* log_;
};

TEST(PreampEffect, ConstructionLeavesEveryProgramInitAndProgramZeroApplied)
{
    auto fx = makeEffect();
    for (int p = 0; p < kNumPrograms; ++p) {
        const PreampProgramRecord& r = fx->program(p);
        EXPECT_STREQ(r.name, "Init") << p;
        for (int32_t i = 0; i < kNumParams; ++i) EXPECT_EQ(r.values[i], parameterInfo(i).init) << p << " " << i;
        for (int m = 0; m < PreampChannelMemory::kSize; ++m) {
            const bool off = m == 3 || m == 12 || m == 21 || m == 27;  // Bright entries and the boost
            EXPECT_EQ(r.memory.values[m], off ? 0.0 : 0.5) << "program " << p << " memory " << m;
        }
    }
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_EQ(fx->selectedChannel(), PreampChannel::Clean);
    EXPECT_EQ(fx->live().stereo.load(), 0);
    EXPECT_EQ(fx->live().highQ.load(), 0);
    // Program 0's recall of Clean never touches the boost, which therefore stays at its zeroed start.
    EXPECT_EQ(fx->getParameter(kBoost), 0.0f);
    EXPECT_EQ(fx->live().boost.load(), 0);
    for (int32_t i : {kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume})
        EXPECT_EQ(fx->getParameter(i), 0.5f) << i;
    EXPECT_EQ(fx->chain().factor(), 4);
}

TEST(PreampEffect, ParameterTexts)
{
    auto fx = makeEffect();
    auto name = [&](int32_t i) {
        char buf[64] = "keep";
        fx->getParameterName(i, buf);
        return std::string(buf);
    };
    auto display = [&](int32_t i) {
        char buf[64] = "keep";
        fx->getParameterDisplay(i, buf);
        return std::string(buf);
    };
    auto label = [&](int32_t i) {
        char buf[64] = "keep";
        fx->getParameterLabel(i, buf);
        return std::string(buf);
    };
    const char* names[kNumParams] = {"Input", "Channel", "Clean/Crunch", "Overdrive Boost", "Bright/Normal",
                                     "Drive1", "Drive2", "Low", "Mid", "High", "Contour", "Volume",
                                     "Mono/Stereo", "LowQ/HighQ"};
    for (int32_t i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(name(i), names[i]) << i;
        EXPECT_EQ(label(i), i == kVolume ? "dB" : "keep") << i;
    }
    for (int32_t i : {-1, 14, 1000}) {
        EXPECT_EQ(name(i), "keep") << i;
        EXPECT_EQ(display(i), "keep") << i;
        EXPECT_EQ(label(i), "keep") << i;
        EXPECT_EQ(fx->getParameter(i), 0.0f) << i;
    }
    EXPECT_EQ(display(kVolume), "-6.02059");
    EXPECT_EQ(display(kLow), "0.500000");
    EXPECT_EQ(display(kChannel), "0.000000");
    fx->setParameter(kVolume, 0.0f);
    EXPECT_EQ(display(kVolume), "-oo");
    fx->setParameter(kVolume, 1.0f);
    EXPECT_EQ(display(kVolume), "0.000000");
}

TEST(PreampEffect, ValuesOutsideTheRangeAreClamped)
{
    auto fx = makeEffect();
    fx->setParameter(kLow, std::nanf(""));
    EXPECT_EQ(fx->getParameter(kLow), 0.0f) << "NaN counts as 0";
    fx->setParameter(kMid, 7.5f);
    EXPECT_EQ(fx->getParameter(kMid), 1.0f);
    fx->setParameter(kHigh, -3.0f);
    EXPECT_EQ(fx->getParameter(kHigh), 0.0f);
    fx->setParameter(kQuality, INFINITY);
    EXPECT_EQ(fx->getParameter(kQuality), 1.0f);
    EXPECT_EQ(fx->live().highQ.load(), 1);
    fx->setParameter(kChannel, std::nanf(""));
    EXPECT_EQ(fx->selectedChannel(), PreampChannel::Clean);
    EXPECT_EQ(fx->program(0).values[kMid], 1.0f) << "the stored copy is clamped too";
    EXPECT_EQ(fx->channelMemory().at(PreampChannel::Clean, kHigh), 0.0);
}

TEST(PreampEffect, EachDriveIsLiveOnlyInItsOwnChannel)
{
    auto fx = makeEffect();
    fx->setParameter(kDrive1, 0.9f);  // Clean
    EXPECT_EQ(fx->getParameter(kDrive1), 0.5f);
    EXPECT_EQ(fx->channelMemory().at(PreampChannel::Clean, kDrive1), 0.5);
    fx->setParameter(kDrive2, 0.9f);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.5f);

    fx->setParameter(kCleanCrunch, 1.0f);
    fx->setParameter(kDrive1, 0.9f);
    EXPECT_EQ(fx->getParameter(kDrive1), 0.9f);
    EXPECT_EQ(fx->channelMemory().at(PreampChannel::Crunch, kDrive1), static_cast<double>(0.9f));
    fx->setParameter(kDrive2, 0.2f);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.5f);

    fx->setParameter(kChannel, 1.0f);
    EXPECT_EQ(fx->getParameter(kDrive1), 0.5f) << "recalling Overdrive holds Drive1";
    fx->setParameter(kDrive2, 0.2f);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.2f);
    fx->setParameter(kDrive1, 0.7f);
    EXPECT_EQ(fx->getParameter(kDrive1), 0.5f);

    fx->setParameter(kChannel, 0.0f);  // back to Crunch, whose memory kept 0.9
    EXPECT_EQ(fx->getParameter(kDrive1), 0.9f);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.5f);
}

TEST(PreampEffect, ChannelRecallRestoresEachChannelThroughTheParameterPath)
{
    auto fx = makeEffect();
    std::vector<int32_t> log;
    fx->setEditor(new SpyEditor(fx.get(), &log));

    fx->setParameter(kInput, 0.11f);
    fx->setParameter(kLow, 0.77f);
    fx->setParameter(kMid, 0.22f);
    fx->setParameter(kHigh, 0.33f);
    fx->setParameter(kContour, 0.44f);
    fx->setParameter(kVolume, 0.66f);
    fx->setParameter(kBright, 1.0f);

    log.clear();
    fx->setParameter(kChannel, 1.0f);
    const std::vector<int32_t> toOverdrive{kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume,
                                           kBoost, kBright, kChannel};
    EXPECT_EQ(log, toOverdrive);
    EXPECT_EQ(fx->getParameter(kInput), 0.5f);
    EXPECT_EQ(fx->getParameter(kBright), 0.0f);
    EXPECT_EQ(fx->live().bright.load(), 0);

    fx->setParameter(kLow, 0.9f);  // Overdrive's own memory
    log.clear();
    fx->setParameter(kChannel, 0.0f);
    const std::vector<int32_t> toClean{kInput, kDrive1, kDrive2, kLow, kMid, kHigh, kContour, kVolume, kBright,
                                       kChannel};
    EXPECT_EQ(log, toClean);
    EXPECT_EQ(fx->getParameter(kInput), 0.11f);
    EXPECT_EQ(fx->getParameter(kLow), 0.77f);
    EXPECT_EQ(fx->getParameter(kMid), 0.22f);
    EXPECT_EQ(fx->getParameter(kHigh), 0.33f);
    EXPECT_EQ(fx->getParameter(kContour), 0.44f);
    EXPECT_EQ(fx->getParameter(kVolume), 0.66f);
    EXPECT_EQ(fx->live().bright.load(), 1);
    // Every recalled value is also the current program's stored value.
    EXPECT_EQ(fx->program(0).values[kLow], 0.77f);
    EXPECT_EQ(fx->program(0).memory.at(PreampChannel::Overdrive, kLow), static_cast<double>(0.9f));

    // Clean/Crunch recalls only while channel 1 is selected.
    fx->setParameter(kChannel, 1.0f);
    log.clear();
    fx->setParameter(kCleanCrunch, 1.0f);
    EXPECT_EQ(log, std::vector<int32_t>{kCleanCrunch});
    EXPECT_EQ(fx->getParameter(kLow), 0.9f);

    log.clear();
    fx->setParameter(99, 0.3f);
    EXPECT_EQ(log, std::vector<int32_t>{99}) << "unknown indices still reach the editor";
}

TEST(PreampEffect, BoostIsRememberedOnlyByOverdrive)
{
    auto fx = makeEffect();
    fx->setParameter(kBoost, 1.0f);  // in Clean
    EXPECT_EQ(fx->getParameter(kBoost), 1.0f);
    EXPECT_EQ(fx->live().boost.load(), 1);
    EXPECT_EQ(fx->channelMemory().at(PreampChannel::Overdrive, kBoost), 0.0);
    fx->setParameter(kChannel, 1.0f);
    EXPECT_EQ(fx->getParameter(kBoost), 0.0f) << "the Overdrive memory brings its own boost back";
    EXPECT_EQ(fx->live().boost.load(), 0);

    fx->setParameter(kBoost, 0.8f);
    EXPECT_EQ(fx->channelMemory().at(PreampChannel::Overdrive, kBoost), static_cast<double>(0.8f));
    fx->setParameter(kChannel, 0.0f);
    EXPECT_EQ(fx->getParameter(kBoost), 0.8f) << "Clean's recall leaves the boost alone";
    fx->setParameter(kBoost, 0.0f);
    fx->setParameter(kChannel, 1.0f);
    EXPECT_EQ(fx->getParameter(kBoost), 0.8f);
    EXPECT_EQ(fx->live().boost.load(), 1);
}

TEST(PreampEffect, ProgramsKeepTheirOwnSettings)
{
    auto fx = makeEffect();
    fx->setProgram(3);
    fx->setParameter(kChannel, 1.0f);
    fx->setParameter(kDrive2, 0.8f);
    fx->setParameter(kMonoStereo, 1.0f);
    fx->setParameter(kQuality, 1.0f);
    fx->setProgram(0);
    EXPECT_EQ(fx->selectedChannel(), PreampChannel::Clean);
    EXPECT_EQ(fx->live().stereo.load(), 0);
    EXPECT_EQ(fx->live().highQ.load(), 0);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.5f);
    fx->setProgram(3);
    EXPECT_EQ(fx->getProgram(), 3);
    EXPECT_EQ(fx->selectedChannel(), PreampChannel::Overdrive);
    EXPECT_EQ(fx->getParameter(kDrive2), 0.8f);
    EXPECT_EQ(fx->live().stereo.load(), 1);
    EXPECT_EQ(fx->live().highQ.load(), 1);
    fx->setProgram(10);
    fx->setProgram(-1);
    EXPECT_EQ(fx->getProgram(), 3) << "indices outside 0..9 are not taken";
}

TEST(PreampEffect, ProgramNamesHoldAtMost23Characters)
{
    auto fx = makeEffect();
    char longName[] = "A name of thirty characters!!!";
    ASSERT_EQ(std::strlen(longName), 30u);
    fx->setProgramName(longName);
    char buf[64];
    std::memset(buf, 'x', sizeof(buf));
    fx->getProgramName(buf);
    EXPECT_EQ(std::string(buf), std::string(longName, 23));
    EXPECT_TRUE(fx->getProgramNameIndexed(0, 0, buf));
    EXPECT_EQ(std::string(buf), std::string(longName, 23));
    EXPECT_TRUE(fx->getProgramNameIndexed(7, 9, buf));
    EXPECT_STREQ(buf, "Init");
    std::strcpy(buf, "keep");
    EXPECT_FALSE(fx->getProgramNameIndexed(0, 10, buf));
    EXPECT_FALSE(fx->getProgramNameIndexed(0, -1, buf));
    EXPECT_STREQ(buf, "keep");
}

TEST(PreampEffect, ChunkRoundTripRestoresPrograms)
{
    auto fx = makeEffect();
    fx->setProgram(2);
    char name[] = "Lead";
    fx->setProgramName(name);
    fx->setParameter(kCleanCrunch, 1.0f);
    fx->setParameter(kDrive1, 0.75f);
    fx->setParameter(kMonoStereo, 1.0f);

    void* data = nullptr;
    ASSERT_EQ(fx->getChunk(&data, false), 3040);
    std::vector<unsigned char> bank(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 3040);
    EXPECT_STREQ(reinterpret_cast<const char*>(bank.data()), "Init") << "the bank starts with program 0's name";
    void* one = nullptr;
    ASSERT_EQ(fx->getChunk(&one, true), 304);
    EXPECT_EQ(one, &fx->program(2));

    auto other = makeEffect();
    EXPECT_EQ(other->setChunk(bank.data(), 3039, false), 0);
    EXPECT_EQ(other->setChunk(bank.data(), 304, false), 0);
    EXPECT_EQ(other->setChunk(bank.data(), 3040, true), 0);
    EXPECT_EQ(other->setChunk(nullptr, 3040, false), 0);
    EXPECT_EQ(other->getChunk(nullptr, false), 0);
    EXPECT_STREQ(other->program(2).name, "Init") << "a refused chunk changes nothing";

    other->setProgram(2);
    ASSERT_EQ(other->setChunk(bank.data(), 3040, false), 1);
    EXPECT_STREQ(other->program(2).name, "Lead");
    EXPECT_EQ(other->selectedChannel(), PreampChannel::Crunch);
    EXPECT_EQ(other->getParameter(kDrive1), 0.75f);
    EXPECT_EQ(other->live().stereo.load(), 1);

    // A single program lands on the current one; the host may hand back our own pointer.
    other->setProgram(5);
    ASSERT_EQ(other->setChunk(one, 304, true), 1);
    EXPECT_STREQ(other->program(5).name, "Lead");
    EXPECT_EQ(other->getParameter(kDrive1), 0.75f);
    ASSERT_EQ(fx->getChunk(&data, false), 3040);
    EXPECT_EQ(fx->setChunk(data, 3040, false), 1);
    EXPECT_STREQ(fx->program(2).name, "Lead");
}

TEST(PreampEffect, DamagedChunksAreRepairedNotTrusted)
{
    auto fx = makeEffect();
    PreampProgramRecord bad;
    std::memcpy(&bad, &fx->program(0), sizeof(bad));
    std::memset(bad.name, 'Z', sizeof(bad.name));  // no terminator
    bad.values[kChannel] = std::nanf("");
    bad.values[kCleanCrunch] = 42.0f;
    bad.values[kQuality] = -1.0f;
    bad.memory.at(PreampChannel::Crunch, kInput) = 1e300;
    bad.memory.at(PreampChannel::Crunch, kLow) = std::nan("");
    bad.memory.at(PreampChannel::Crunch, kVolume) = -2.0;

    ASSERT_EQ(fx->setChunk(&bad, 304, true), 1);
    const PreampProgramRecord& r = fx->program(0);
    EXPECT_EQ(std::string(r.name), std::string(23, 'Z'));
    char buf[64];
    fx->getProgramName(buf);
    EXPECT_EQ(std::strlen(buf), 23u);
    EXPECT_EQ(fx->selectedChannel(), PreampChannel::Crunch);
    EXPECT_EQ(fx->getParameter(kInput), 1.0f);
    EXPECT_EQ(fx->getParameter(kLow), 0.0f);
    EXPECT_EQ(fx->getParameter(kVolume), 0.0f);
    EXPECT_EQ(fx->live().highQ.load(), 0);
    for (double m : r.memory.values) EXPECT_TRUE(m >= 0.0 && m <= 1.0) << m;
    for (float v : r.values) EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << v;
}

}  // namespace
