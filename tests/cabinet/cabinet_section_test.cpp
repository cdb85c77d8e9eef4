// The cabinet section: block convolution, delay lines, mixer, rate changes, and the parameter-path helpers.
#include "cabinet/cabinet_section.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "cabinet/cab_filter.h"

namespace cabinet {
namespace {

struct Frames {
    std::vector<float> left, right;
};

Frames run(CabinetSection& s, const std::vector<double>& in)
{
    Frames f;
    for (double x : in) {
        float l = 0.0f, r = 0.0f;
        s.processFrame(x, l, r);
        f.left.push_back(l);
        f.right.push_back(r);
    }
    return f;
}

std::vector<double> noise(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& x : v) x = dist(gen);
    return v;
}

std::vector<double> impulseAt(int n, int at)
{
    std::vector<double> v(static_cast<std::size_t>(n), 0.0);
    v[static_cast<std::size_t>(at)] = 1.0;
    return v;
}

// First frame whose magnitude exceeds `floor` (block convolution leaves rounding residue of about 1e-17).
int firstNonZero(const std::vector<float>& v, float floor = 0.0f)
{
    const auto it = std::find_if(v.begin(), v.end(), [floor](float x) { return std::fabs(x) > floor; });
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

// Cabinet 1 alone, hard left, unity gains, playing `ir` exactly (no preparation).
void soloCabinet1(CabinetSection& s, const std::vector<double>& ir)
{
    std::vector<double> padded(static_cast<std::size_t>(s.fftSize()), 0.0);
    std::copy(ir.begin(), ir.end(), padded.begin());
    s.fft()->forward(padded.data(), s.activeSpectrum(0));
    s.setEnabled(1, false);
    s.setVolume(0, 1.0f);
    s.setPan(0, 0.0f);
    s.setMakeupGain(1.0);
    s.setMasterVolume(1.0f);
}

TEST(CabinetSection, SilentAndInertBeforeTheFirstRate)
{
    CabinetSection s;
    EXPECT_EQ(s.fftSize(), 0);
    EXPECT_EQ(s.fft(), nullptr);
    EXPECT_EQ(s.activeSpectrum(0), nullptr);
    s.clearBlock(0);
    s.clearForProgramChange();
    s.useExternal(1);
    const double one = 1.0;
    EXPECT_FALSE(s.prepareExternal(0, &one, 1, HighBandRule::Above11k));
    const Frames f = run(s, noise(500, 1));
    EXPECT_EQ(firstNonZero(f.left), -1);
    EXPECT_EQ(firstNonZero(f.right), -1);
    EXPECT_EQ(s.activeSpectrum(2), nullptr);
}

TEST(CabinetSection, RateChoosesSizesAndUnusableRatesChangeNothing)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    EXPECT_EQ(s.fftSize(), 2048);
    EXPECT_EQ(s.blockSize(), 200);
    EXPECT_EQ(s.delaySize(), 220);
    EXPECT_TRUE(s.ready(0) && s.ready(1));
    EXPECT_TRUE(std::equal(s.activeSpectrum(1), s.activeSpectrum(1) + 2048, s.internalSpectrum(1)));

    run(s, noise(77, 2));
    ASSERT_TRUE(s.setSampleRate(44100.0));
    EXPECT_EQ(s.blockPosition(), 77) << "the same rate keeps the convolution state";
    for (double bad : {0.0, -48000.0, std::nan(""), static_cast<double>(INFINITY)}) {
        EXPECT_FALSE(s.setSampleRate(bad));
        EXPECT_EQ(s.fftSize(), 2048);
        EXPECT_EQ(s.blockPosition(), 77);
    }

    ASSERT_TRUE(s.setSampleRate(50000.0));
    EXPECT_EQ(s.fftSize(), 4096);
    EXPECT_EQ(s.blockSize(), 400);
    EXPECT_EQ(s.delaySize(), 250);
    EXPECT_EQ(s.blockPosition(), 0);
    EXPECT_EQ(s.fft()->size(), 4096);
}

TEST(CabinetSection, ConvolvesWithLatencyOfOneBlockAndKeepsOverlapTailEmpty)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    const std::vector<double> ir = {1.0, 0.0, 0.0, 0.0, 0.0, 0.5, 0.25, 0.0, -0.125};
    soloCabinet1(s, ir);
    // Expected: the response through the low-pass (10 kHz) and high-pass (10 Hz) filters.
    CabFilter lp, hp;
    hp.kind = CabFilter::Kind::HighPass;
    std::vector<double> expected(40);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = hp.run(lp.run(i < ir.size() ? ir[i] : 0.0, 10000.0, 44100.0), 10.0, 44100.0);

    const int at = 137;  // inside the first block
    const Frames f = run(s, impulseAt(600, at));
    // One block of convolution latency plus the one-sample delay line.
    const int first = at + 200 + 1;
    EXPECT_EQ(firstNonZero(f.left, 1e-9f), first);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(f.left[first + i], expected[i], 1e-6) << "sample " << i;
    EXPECT_EQ(firstNonZero(f.right), -1) << "cabinet 1 is hard left";

    run(s, noise(3000, 3));
    for (int i = 2048 - 200; i < 2048; ++i) ASSERT_EQ(s.overlap(0)[i], 0.0) << "overlap slot " << i;
}

TEST(CabinetSection, DelayLinesFollowTheSmoothedValueAndShrinkSafely)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    soloCabinet1(s, {1.0});
    s.setDelay(0, 1.0);
    EXPECT_EQ(s.delayLength(0), 220);
    EXPECT_EQ(firstNonZero(run(s, impulseAt(800, 10)).left, 1e-9f), 10 + 200 + 220);

    ASSERT_TRUE(s.setSampleRate(88200.0));
    soloCabinet1(s, {1.0});
    s.setDelay(0, 1.0);
    EXPECT_EQ(s.delayLength(0), 441);
    run(s, std::vector<double>(300, 0.0));  // the read position is now well past 44
    s.setDelay(0, 0.1);
    EXPECT_EQ(s.delayLength(0), 44);
    EXPECT_EQ(firstNonZero(run(s, impulseAt(1000, 100)).left, 1e-9f), 100 + 400 + 44);

    // Back to 44100 Hz: the line shrinks to 220 samples, the length follows the kept value.
    run(s, noise(500, 5));
    ASSERT_TRUE(s.setSampleRate(44100.0));
    EXPECT_EQ(s.delayLength(0), 22);
    s.setDelay(0, 7.0);
    EXPECT_EQ(s.delayLength(0), 220) << "clamped to the line";
    s.setDelay(0, -1.0);
    EXPECT_EQ(s.delayLength(0), 0);
    s.setDelay(0, std::nan(""));
    EXPECT_EQ(s.delayLength(0), 0);
    run(s, noise(1000, 6));
}

TEST(CabinetSection, VeryLowRatesStayInsideTheirBuffers)
{
    for (double fs : {1.0, 100.0, 250.0}) {
        CabinetSection s;
        ASSERT_TRUE(s.setSampleRate(fs));
        s.setDelay(0, 1.0);
        s.setDelay(1, 0.5);
        const Frames f = run(s, noise(1500, 7));
        for (std::size_t i = 0; i < f.left.size(); ++i)
            ASSERT_TRUE(std::isfinite(f.left[i]) && std::isfinite(f.right[i])) << "fs " << fs << " frame " << i;
    }
}

TEST(CabinetSection, PansIsolateCabinetsAndStoppedCabinetsFallSilent)
{
    const std::vector<double> in = noise(3000, 8);
    CabinetSection both, only1;
    ASSERT_TRUE(both.setSampleRate(44100.0));
    ASSERT_TRUE(only1.setSampleRate(44100.0));
    only1.setEnabled(1, false);
    const Frames fb = run(both, in);
    const Frames f1 = run(only1, in);
    EXPECT_EQ(fb.left, f1.left) << "cabinet 2 leaks into the left channel";
    EXPECT_EQ(firstNonZero(f1.right), -1);
    EXPECT_NE(firstNonZero(fb.right), -1);

    // Stopped without a clear: the next block boundary silences both output blocks.
    both.setEnabled(0, false);
    both.setEnabled(1, false);
    run(both, in);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 2048; ++i) ASSERT_EQ(both.outputBlock(c)[i], 0.0) << "cabinet " << c << " slot " << i;
    EXPECT_EQ(firstNonZero(run(both, in).left), -1);
}

TEST(CabinetSection, PolarityCancelsIdenticalCabinetsAndStereoLinkScales)
{
    const std::vector<double> in = noise(2000, 9);
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    std::copy(s.internalSpectrum(0), s.internalSpectrum(0) + 2048, s.activeSpectrum(1));
    s.setPan(0, 0.3f);
    s.setPan(1, 0.3f);
    s.setPolarityInverted(0, true);
    const Frames f = run(s, in);
    EXPECT_EQ(firstNonZero(f.left), -1);
    EXPECT_EQ(firstNonZero(f.right), -1);

    // Stereo link: pans centred, volume2 = 1 - volume1, gain 7.5 -> both channels 3.75 (d1 v1 + d2 v2) V.
    CabinetSection link, solo1, solo2;
    for (CabinetSection* x : {&link, &solo1, &solo2}) ASSERT_TRUE(x->setSampleRate(44100.0));
    link.setMakeupGain(7.5);
    link.setPan(0, 0.5f);
    link.setPan(1, 0.5f);
    link.setVolume(0, 0.3f);
    link.setVolume(1, 0.7f);
    link.setMasterVolume(0.8f);
    for (CabinetSection* x : {&solo1, &solo2}) {
        x->setMakeupGain(1.0);
        x->setMasterVolume(1.0f);
        x->setVolume(0, 1.0f);
        x->setVolume(1, 1.0f);
    }
    solo1.setEnabled(1, false);
    solo2.setEnabled(0, false);
    solo2.setPan(1, 0.0f);
    const Frames fl = run(link, in), f1 = run(solo1, in), f2 = run(solo2, in);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double expected = 3.75 * (f1.left[i] * 0.3f + f2.left[i] * 0.7f) * 0.8f;
        ASSERT_NEAR(fl.left[i], expected, 1e-5 + 1e-5 * std::fabs(expected)) << "frame " << i;
        ASSERT_EQ(fl.left[i], fl.right[i]) << "frame " << i;
    }
}

TEST(CabinetSection, ExternalSpectraAndProgramChangeClearing)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    // After a rate change the external spectrum is empty: a cabinet switched to it is silent.
    s.useExternal(0);
    s.setEnabled(1, false);
    EXPECT_EQ(firstNonZero(run(s, noise(1000, 10)).left), -1);

    std::vector<double> ir(3000, 0.0);
    ir[0] = 0.5;
    ir[1025] = 1.0;  // beyond the N/2 + 1 samples a cabinet may hold
    ASSERT_TRUE(s.prepareExternal(0, ir.data(), 3000, HighBandRule::From10kCab1));
    std::vector<double> expected(2048), m(2048), t(2048), time(2048, 0.0);
    time[0] = 0.5;
    prepare_ir_spectrum(*s.fft(), time.data(), 44100.0, HighBandRule::From10kCab1, m.data(), t.data(),
                        expected.data());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), s.externalSpectrum(0)));
    s.useExternal(0);
    EXPECT_NE(firstNonZero(run(s, noise(1000, 11)).left), -1);

    s.clearForProgramChange();
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < 2048; ++i) {
            ASSERT_EQ(s.activeSpectrum(c)[i], 0.0);
            ASSERT_EQ(s.externalSpectrum(c)[i], 0.0);
        }
    }
    // Only the filters' own decay may sound after the clear; the delay of 220 holds it back that long.
    s.setEnabled(1, true);
    s.setDelay(0, 1.0);
    s.setDelay(1, 1.0);
    const Frames f = run(s, std::vector<double>(220, 0.0));
    EXPECT_EQ(firstNonZero(f.left), -1) << "delay lines or blocks kept old sound";
    EXPECT_EQ(firstNonZero(f.right), -1) << "delay lines or blocks kept old sound";
    s.useInternal(1);
    EXPECT_NE(firstNonZero(run(s, noise(600, 12)).right), -1);
}

// Controls written from another thread while audio runs (also built with ThreadSanitizer).
TEST(CabinetSectionThreads, ControlsChangeWhileAudioRuns)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(48000.0));
    std::atomic<bool> done{false};
    std::thread controls([&] {
        for (int i = 0; !done.load(); ++i) {
            const float v = static_cast<float>(i % 11) / 10.0f;
            s.setPan(i % 2, v);
            s.setVolume(i % 2, 1.0f - v);
            s.setLowpassHz(i % 2, 1000.0 + 9000.0 * v);
            s.setHighpassHz(i % 2, 10.0 + 990.0 * v);
            s.setDelay(i % 2, v);
            s.setPolarityInverted(i % 2, i % 3 == 0);
            s.setEnabled(i % 2, i % 5 != 0);
            s.setMakeupGain(i % 2 ? 5.0 : 7.5);
            s.setMasterVolume(v);
            std::this_thread::yield();
        }
    });
    const std::vector<double> in = noise(48000, 13);
    bool finite = true;
    for (double x : in) {
        float l, r;
        s.processFrame(x, l, r);
        finite = finite && std::isfinite(l) && std::isfinite(r);
    }
    done = true;
    controls.join();
    EXPECT_TRUE(finite);
}

}  // namespace
}  // namespace cabinet
