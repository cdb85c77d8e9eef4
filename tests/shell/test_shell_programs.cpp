// Programs, the state chunk and external impulse responses of the full-stack effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "shell_test_host.h"
#include "support/wav_file.h"

namespace {

using namespace shell_test;
using testing_support::testImpulseResponse;
using testing_support::wavBytes;
using testing_support::writeFile;

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("tavik_shell_" + name)).string();
}

std::string irFile(const std::string& name, uint32_t rate = 44100, int frames = 600) {
    return writeFile(tempPath(name), wavBytes(testImpulseResponse(frames), 1, rate));
}

std::vector<unsigned char> bank(tavik::Tavik& t) {
    void* data = nullptr;
    int32_t size = t.getChunk(&data, false);
    auto* bytes = static_cast<unsigned char*>(data);
    return {bytes, bytes + size};
}

TEST(ExternalIr, LoadStoresTheResponseInTheProgramAndPlaysIt) {
    auto t = make();
    const std::string path = irFile("load.wav");
    load(*t, 0, path);
    const auto& record = t->program(0);
    EXPECT_STREQ(record.ir1Name, "tavik_shell_load.wav");
    EXPECT_EQ(t->irName(0), "tavik_shell_load.wav");
    EXPECT_STREQ(record.ir2Name, "Empty");
    EXPECT_EQ(record.ir1Length, 600);
    EXPECT_EQ(record.irRate, 44100.0f);
    EXPECT_NEAR(record.ir1Samples[0], 0.9, 1e-4);
    EXPECT_GT(spectrumEnergy(record.ir1Spectrum, 2048), 0.0);
    EXPECT_EQ(0, std::memcmp(record.ir1Spectrum, t->cabinets().externalSpectrum(0), 2048 * sizeof(double)));

    auto internal = render(*t, 8192);
    t->setParameter(tavik::kIrSource1, 1.0f);
    EXPECT_TRUE(t->cabinets().runs(0));
    auto external = render(*t, 8192);
    EXPECT_GT(energy(external, 0), 0.0);
    EXPECT_NE(energy(external, 0), energy(internal, 0)) << "cabinet 1 (left) plays the loaded response";
}

TEST(ExternalIr, BadOrCancelledLoadsChangeNothing) {
    auto t = make();
    load(*t, 1, irFile("good2.wav"));
    const auto before = bank(*t);
    const std::string bad = writeFile(tempPath("bad.wav"), {'R', 'I', 'F', 'F', 1, 2, 3});
    load(*t, 0, bad);
    load(*t, 1, bad);
    load(*t, 1, tempPath("does_not_exist.wav"));
    t->setParameter(tavik::kLoadIr2, 1.0f);  // the host's selector is cancelled
    t->setParameter(tavik::kLoadIr1, 0.5f);  // not a trigger
    EXPECT_EQ(before, bank(*t));
    EXPECT_EQ(t->irName(1), "tavik_shell_good2.wav");
    EXPECT_EQ(t->irName(0), "Empty");
}

TEST(ExternalIr, OneRecordRateDescribesBothCabinets) {
    // Cabinet 1 loaded at 48 kHz, then the host moves to 44.1 kHz and loads into cabinet 2: the record's
    // cabinet-1 samples must come to 44.1 kHz too, or they would replay pitch-shifted.
    auto t = make(48000.0f);
    load(*t, 0, irFile("c1.wav", 48000, 900));
    ASSERT_EQ(t->program(0).irRate, 48000.0f);
    ASSERT_EQ(t->program(0).ir1Length, 900);
    t->setSampleRate(44100.0f);
    EXPECT_EQ(t->program(0).irRate, 44100.0f) << "a rate change brings the program's responses along";
    const int32_t converted = t->program(0).ir1Length;
    EXPECT_EQ(converted, static_cast<int32_t>(std::ceil(899 / 48000.0 * 44100.0)));
    load(*t, 1, irFile("c2.wav", 44100, 300));
    EXPECT_EQ(t->program(0).irRate, 44100.0f);
    EXPECT_EQ(t->program(0).ir1Length, converted);
    EXPECT_EQ(t->program(0).ir2Length, 300);
}

TEST(Programs, SwitchesKeepCabinetsSoundingAndDelaysExact) {
    auto t = make();
    t->setParameter(tavik::kDelay1, 0.75f);
    t->setParameter(tavik::kDelay1, 0.75f);
    const float stored = t->getParameter(tavik::kDelay1);
    EXPECT_EQ(stored, 0.75f) << "the value set is the value held";
    t->setProgram(1);
    t->setProgram(0);
    for (int i = 0; i < 5; ++i) {
        t->setProgram(0);
        EXPECT_EQ(t->getParameter(tavik::kDelay1), stored) << "switch " << i;
    }
    EXPECT_EQ(t->program(0).values[tavik::recordSlot(tavik::kDelay1)], stored);
    EXPECT_EQ(t->cabinets().delayLength(0), static_cast<int>(stored * 220));
    // No source switch was ever touched, yet both cabinets sound after the switches.
    for (int c = 0; c < 2; ++c) {
        EXPECT_TRUE(t->cabinets().runs(c));
        EXPECT_GT(spectrumEnergy(t->cabinets().activeSpectrum(c), 2048), 0.0) << c;
    }
    auto out = render(*t, 8192);
    EXPECT_GT(energy(out, 0), 1e-6);
    EXPECT_GT(energy(out, 1), 1e-6);
}

TEST(Programs, ADelayStoredByAnEarlierVersionPlaysAsBefore) {
    // Earlier versions stored the smoothed delay (0.19 after two sends of 1.0); it loads as that delay, at once.
    auto t = make();
    t->resume();
    render(*t, 2048);
    std::vector<unsigned char> program(tavik::kProgramChunkSize);
    void* data = nullptr;
    t->getChunk(&data, true);
    std::memcpy(program.data(), data, program.size());
    const float old = 0.19f;
    std::memcpy(program.data() + offsetof(tavik::ProgramRecord, values) +
                    sizeof(float) * static_cast<size_t>(tavik::recordSlot(tavik::kDelay1)),
                &old, sizeof old);
    ASSERT_EQ(t->setChunk(program.data(), tavik::kProgramChunkSize, true), 1);
    EXPECT_EQ(t->getParameter(tavik::kDelay1), old);
    render(*t, 256);  // the audio side takes the program at its next block
    EXPECT_EQ(t->cabinets().delayLength(0), static_cast<int>(old * 220)) << "no glide into a program's delay";
}

TEST(Programs, EmptyExternalSourceIsSilent) {
    auto t = make();
    t->setParameter(tavik::kIrSource1, 1.0f);
    EXPECT_FALSE(t->cabinets().runs(0));
    t->setProgram(0);
    EXPECT_FALSE(t->cabinets().runs(0));
    auto out = render(*t, 8192);
    EXPECT_EQ(energy(out, 0), 0.0) << "Pan1 = 0: the left channel is cabinet 1 alone";
    EXPECT_GT(energy(out, 1), 0.0);
}

TEST(Programs, ProgramSavedAtOneRateIsRewrittenOnceAtAnother) {
    auto saver = make(44100.0f);
    load(*saver, 0, irFile("rate.wav", 44100, 900));
    saver->setParameter(tavik::kIrSource1, 1.0f);
    void* data = nullptr;
    saver->getChunk(&data, true);
    std::vector<unsigned char> program(static_cast<unsigned char*>(data),
                                       static_cast<unsigned char*>(data) + tavik::kProgramChunkSize);

    auto t = make(48000.0f);
    ASSERT_EQ(t->setChunk(program.data(), tavik::kProgramChunkSize, true), 1);
    const auto& record = t->program(0);
    EXPECT_EQ(record.irRate, 48000.0f);
    EXPECT_EQ(record.ir1Length, static_cast<int32_t>(std::ceil(899 / 44100.0 * 48000.0)));
    EXPECT_TRUE(t->cabinets().runs(0));
    std::vector<double> spectrum(record.ir1Spectrum, record.ir1Spectrum + 2048);
    EXPECT_EQ(0, std::memcmp(spectrum.data(), t->cabinets().activeSpectrum(0), 2048 * sizeof(double)));
    t->setProgram(0);
    EXPECT_EQ(record.ir1Length, static_cast<int32_t>(std::ceil(899 / 44100.0 * 48000.0)));
    EXPECT_EQ(0, std::memcmp(spectrum.data(), record.ir1Spectrum, 2048 * sizeof(double)))
        << "at the same rate the stored spectrum is taken unchanged";
}

TEST(Programs, BankRestoredBeforeTheRateStillPlaysItsResponses) {
    auto saver = make(44100.0f);
    load(*saver, 0, irFile("early.wav"));
    saver->setParameter(tavik::kIrSource1, 1.0f);
    auto saved = bank(*saver);

    auto t = std::make_unique<tavik::Tavik>(host);  // the host restores the project first...
    ASSERT_EQ(t->setChunk(saved.data(), static_cast<int32_t>(saved.size()), false), 1);
    t->setSampleRate(48000.0f);  // ...and sets its rate afterwards
    EXPECT_TRUE(t->cabinets().runs(0));
    EXPECT_GT(spectrumEnergy(t->cabinets().activeSpectrum(0), 2048), 0.0);
    auto out = render(*t, 8192, 256, 48000.0);
    EXPECT_GT(energy(out, 0), 1e-6);
}

TEST(Programs, BankRoundTripGivesTheSameSound) {
    auto a = make();
    a->setProgram(2);
    load(*a, 0, irFile("trip1.wav"));
    load(*a, 1, irFile("trip2.wav", 44100, 400));
    a->setParameter(tavik::kIrSource1, 1.0f);
    a->setParameter(tavik::kIrSource2, 1.0f);
    a->setParameter(tavik::kChannel, 1.0f);
    a->setParameter(tavik::kDrive2, 0.8f);
    a->setParameter(tavik::kFreqLp2, 0.3f);
    a->setParameter(tavik::kDelay2, 1.0f);
    a->setProgram(5);
    a->setParameter(tavik::kCleanCrunch, 1.0f);
    a->setProgram(2);
    auto saved = bank(*a);

    auto b = make();
    b->setProgram(2);
    ASSERT_EQ(b->setChunk(saved.data(), static_cast<int32_t>(saved.size()), false), 1);
    EXPECT_EQ(saved, bank(*b));
    for (int32_t i = 0; i < tavik::kNumParams; ++i) EXPECT_EQ(a->getParameter(i), b->getParameter(i)) << i;
    EXPECT_EQ(render(*a, 4096), render(*b, 4096));
}

TEST(Programs, DamagedChunksAreAppliedSafely) {
    std::mt19937 random(7);
    auto t = make();
    std::vector<unsigned char> data(tavik::kBankChunkSize);
    for (int round = 0; round < 6; ++round) {
        for (auto& byte : data) byte = static_cast<unsigned char>(random());
        auto* records = reinterpret_cast<tavik::ProgramRecord*>(data.data());
        if (round >= 2) {
            // Plausible rates and lengths, so the damaged samples are really used.
            for (int p = 0; p < 10; ++p) {
                records[p].irRate = round == 2 ? NAN : (round == 3 ? 22050.0f : 44100.0f);
                records[p].ir1Length = round == 4 ? -5 : 1 << 30;
                records[p].ir2Length = 300;
                records[p].values[tavik::recordSlot(tavik::kIrSource1)] = 1.0f;
                records[p].values[tavik::recordSlot(tavik::kIrSource2)] = round == 5 ? NAN : 1e30f;
                records[p].ir2Samples[5] = round == 3 ? INFINITY : NAN;
                records[p].ir2Spectrum[3] = NAN;
                records[p].ir1Spectrum[7] = round == 5 ? 1e300 : -1e30;  // finite, but no prepared spectrum
                records[p].ir1Samples[2] = 1e300;
                for (int32_t on : {tavik::kCab1On, tavik::kCab2On, tavik::kVolume1, tavik::kVolume2})
                    records[p].values[tavik::recordSlot(on)] = 1.0f;
                for (double& m : records[p].channelMemory) m = 0.5;
                records[p].channelMemory[25] = NAN;
                std::memcpy(records[p].ir1Name, "damaged.wav", 12);
                records[p].values[0] = -INFINITY;
            }
        }
        ASSERT_EQ(t->setChunk(data.data(), static_cast<int32_t>(data.size()), false), 1);
        for (int p = 0; p < 10; p += 3) {
            t->setProgram(p);
            for (int32_t i = 0; i < tavik::kNumParams; ++i) {
                float v = t->getParameter(i);
                ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << "round " << round << " index " << i;
            }
            char name[64];
            t->getProgramName(name);
            EXPECT_LE(std::strlen(name), 24u);
            auto out = render(*t, 1024);
            for (float s : out) ASSERT_TRUE(std::isfinite(s)) << "round " << round << " program " << p;
        }
    }
}

// A project's chunk is kept as the host gave it, but what it holds outside its ranges is repaired, so that
// the next save hands the host a sound record (the preamp-only plug-in does the same).
TEST(Programs, DamagedRecordIsRepairedWhereItIsStored) {
    auto t = make();
    void* data = nullptr;
    t->getChunk(&data, true);
    tavik::ProgramRecord bad;
    std::memcpy(&bad, data, sizeof bad);
    std::memset(bad.name, 'Z', sizeof bad.name);
    std::memset(bad.ir2Name, 'Q', sizeof bad.ir2Name);
    bad.values[tavik::recordSlot(tavik::kVolume1)] = NAN;
    bad.values[tavik::recordSlot(tavik::kLow)] = 7.0f;
    bad.channelMemory[3] = -1e300;
    bad.channelMemory[4] = NAN;
    ASSERT_EQ(t->setChunk(&bad, tavik::kProgramChunkSize, true), 1);
    const tavik::ProgramRecord& r = t->program(0);
    EXPECT_EQ(std::string(r.name), std::string(24, 'Z'));
    EXPECT_EQ(std::strlen(r.ir2Name), 63u);
    for (float v : r.values) EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << v;
    for (double m : r.channelMemory) EXPECT_TRUE(m >= 0.0 && m <= 1.0) << m;
    EXPECT_EQ(t->getParameter(tavik::kVolume1), 0.0f);
}

// Each parameter a change touches reaches the editor once, after the ones it set in turn.
TEST(Programs, AProgramSwitchTellsTheEditorOncePerParameter) {
    struct Spy : vst::AEffEditor {
        Spy(vst::AudioEffect* effect, std::vector<int32_t>* into) : AEffEditor(effect), log(into) {}
        void setParameter(int32_t index, float) override { log->push_back(index); }
        std::vector<int32_t>* log;
    };
    auto t = make();
    std::vector<int32_t> log;
    t->setParameter(tavik::kStereoLink, 1.0f);
    t->setProgram(1);
    t->setEditor(new Spy(t.get(), &log));
    t->setProgram(0);
    std::vector<int32_t> sorted = log;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "an index told twice";
    EXPECT_EQ(log.back(), tavik::kIrSource2);
    log.clear();
    t->setParameter(tavik::kStereoLink, 0.0f);
    t->setParameter(tavik::kStereoLink, 1.0f);
    const std::vector<int32_t> link{tavik::kPan1, tavik::kPan2, tavik::kVolume2, tavik::kVolume1, tavik::kStereoLink};
    EXPECT_EQ(std::vector<int32_t>(log.begin() + 1, log.end()), link);
}

TEST(Programs, StoredSpectrumBeyondAPreparedOneIsSilence) {
    // Finite but impossible values (a prepared spectrum never exceeds 1) from a damaged project would
    // overflow the convolution; the cabinet plays silence instead, and the other one plays on.
    auto t = make();
    void* data = nullptr;
    t->getChunk(&data, true);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(data),
                                     static_cast<unsigned char*>(data) + tavik::kProgramChunkSize);
    auto* record = reinterpret_cast<tavik::ProgramRecord*>(bytes.data());
    std::memcpy(record->ir1Name, "damaged.wav", 12);
    record->ir1Spectrum[0] = 0.5;
    record->ir1Spectrum[7] = 1e300;
    record->values[tavik::recordSlot(tavik::kIrSource1)] = 1.0f;
    ASSERT_EQ(t->setChunk(bytes.data(), tavik::kProgramChunkSize, true), 1);
    auto out = render(*t, 4096);
    for (float s : out) ASSERT_TRUE(std::isfinite(s));
    EXPECT_EQ(energy(out, 0), 0.0) << "cabinet 1 (left) is silent";
    EXPECT_GT(energy(out, 1), 1e-6) << "cabinet 2 (right) plays its built-in response";

    // A rate too small to invert (a denormal float) cannot bring sane samples to the host rate.
    record->irRate = 1e-45f;
    record->ir1Length = 300;
    for (int i = 0; i < 300; ++i) record->ir1Samples[i] = 0.5 * std::cos(0.1 * i);
    ASSERT_EQ(t->setChunk(bytes.data(), tavik::kProgramChunkSize, true), 1);
    out = render(*t, 4096);
    for (float s : out) ASSERT_TRUE(std::isfinite(s));
}

TEST(ExternalIr, AHighRateResponseKeepsOneLengthFromTheFileAndFromAProgramSavedAtItsRate) {
    const std::string path = irFile("high.wav", 96000, 1800);
    auto saver = make(96000.0f);
    load(*saver, 0, path);
    ASSERT_EQ(saver->program(0).ir1Length, 1800);
    void* data = nullptr;
    saver->getChunk(&data, true);
    std::vector<unsigned char> program(static_cast<unsigned char*>(data),
                                       static_cast<unsigned char*>(data) + tavik::kProgramChunkSize);

    auto restored = make(44100.0f);
    ASSERT_EQ(restored->setChunk(program.data(), tavik::kProgramChunkSize, true), 1);
    auto loaded = make(44100.0f);
    load(*loaded, 0, path);
    const auto& a = restored->program(0);
    const auto& b = loaded->program(0);
    EXPECT_EQ(a.ir1Length, static_cast<int32_t>(std::ceil(1799 / 96000.0 * 44100.0)));
    ASSERT_EQ(a.ir1Length, b.ir1Length);
    EXPECT_EQ(0, std::memcmp(a.ir1Samples, b.ir1Samples, sizeof a.ir1Samples));
}

TEST(ExternalIr, ARefusedFileShowsWhyOnTheLabel) {
    auto t = make();
    std::vector<unsigned char> twelve = wavBytes(testImpulseResponse(100), 1, 44100);
    twelve[34] = 12;  // bits per sample
    load(*t, 0, writeFile(tempPath("twelve.wav"), twelve));
    char text[128];
    ASSERT_TRUE(t->irLabelText(0, text, sizeof text));
    EXPECT_STREQ(text, "cannot read tavik_shell_twelve.wav: 12-bit samples");
}

}  // namespace
