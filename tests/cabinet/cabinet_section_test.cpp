// The cabinet section: block convolution, delay lines, mixer, rate changes, and what other threads hand over.
#include "cabinet/cabinet_section.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "amp/output_limit.h"
#include "cabinet/cab_filter.h"

namespace cabinet {
namespace {

struct Frames {
    std::vector<float> left, right;
};

// One block as the audio side runs it: take what was handed over, then the frames.
Frames run(CabinetSection& s, const std::vector<double>& in)
{
    Frames f;
    if (!s.adoptPending()) {
        f.left.assign(in.size(), 0.0f);
        f.right.assign(in.size(), 0.0f);
        return f;
    }
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

std::vector<double> spectrumOf(const std::vector<double>& ir, int n)
{
    std::vector<double> padded(static_cast<std::size_t>(n), 0.0), spectrum(padded.size());
    std::copy(ir.begin(), ir.end(), padded.begin());
    RealFftPair ffts;
    ffts.pick(n)->forward(padded.data(), spectrum.data());
    return spectrum;
}

// Cabinet 1 alone, hard left, unity gains, playing `ir` exactly (no preparation) as its external response.
void soloCabinet1(CabinetSection& s, const std::vector<double>& ir)
{
    ASSERT_TRUE(s.setExternal(0, spectrumOf(ir, s.fftSize()).data(), true));
    s.setExternalSource(0, true);
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
    EXPECT_EQ(s.activeSpectrum(0), nullptr);
    EXPECT_FALSE(s.adoptPending());
    s.clearAll();
    s.setExternalSource(1, true);
    const double one = 1.0;
    EXPECT_FALSE(s.setExternal(0, &one, true));
    std::vector<double> spectrum;
    EXPECT_FALSE(s.prepareSpectrum(&one, 1, HighBandRule::Above11k, spectrum));
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
    ASSERT_TRUE(s.adoptPending());
    EXPECT_TRUE(s.runs(0) && s.runs(1));
    EXPECT_EQ(s.activeSpectrum(1), s.internalSpectrum(1));

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

TEST(CabinetSection, DelayLinesSnapOrGlideToTheirTargetAndShrinkSafely)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    soloCabinet1(s, {1.0});
    s.setDelayTarget(0, 1.0);
    s.snapDelays();
    run(s, {});
    EXPECT_EQ(s.delayLength(0), 220);
    EXPECT_EQ(firstNonZero(run(s, impulseAt(800, 10)).left, 1e-9f), 10 + 200 + 220);

    ASSERT_TRUE(s.setSampleRate(88200.0));
    EXPECT_EQ(s.delayLength(0), 441) << "a new rate keeps the delay as a fraction of the line";
    soloCabinet1(s, {1.0});
    run(s, std::vector<double>(300, 0.0));  // the read position is now well past 44
    s.setDelayTarget(0, 0.1);
    s.snapDelays();
    run(s, {});
    EXPECT_EQ(s.delayLength(0), 44);
    EXPECT_EQ(firstNonZero(run(s, impulseAt(1000, 100)).left, 1e-9f), 100 + 400 + 44);

    // Back to 44100 Hz: the line shrinks to 220 samples; out-of-range targets are held inside it.
    run(s, noise(500, 5));
    ASSERT_TRUE(s.setSampleRate(44100.0));
    EXPECT_EQ(s.delayLength(0), 22);
    for (double target : {7.0, -1.0, std::nan("")}) {
        s.setDelayTarget(0, target);
        s.snapDelays();
        run(s, {});
        EXPECT_EQ(s.delayLength(0), target > 1.0 ? 220 : 0) << target;
    }
    run(s, noise(1000, 6));
}

TEST(CabinetSection, ADelayChangedWhilePlayingGlidesATenthPerBlockAndArrivesExactly)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    s.setDelayTarget(0, 0.5);
    std::vector<int> lengths;
    for (int block = 0; block < 80; ++block) {
        run(s, std::vector<double>(200, 0.0));
        lengths.push_back(s.delayLength(0));
    }
    EXPECT_EQ(lengths[0], 11) << "a tenth of the way to 110 samples";
    EXPECT_EQ(lengths[1], 20) << "0.19 of the way";
    EXPECT_TRUE(std::is_sorted(lengths.begin(), lengths.end()));
    EXPECT_EQ(lengths.back(), 110) << "the target itself, not one sample short of it";
    // Re-sending the target it already reached changes nothing.
    s.setDelayTarget(0, 0.5);
    run(s, std::vector<double>(200, 0.0));
    EXPECT_EQ(s.delayLength(0), 110);
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

    // Switched off: the next block clears both output blocks.
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
    ASSERT_TRUE(s.setExternal(1, s.internalSpectrum(0), true));
    s.setExternalSource(1, true);
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

TEST(CabinetSection, ExternalSpectraSourceSwitchesAndProgramChangeClearing)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(44100.0));
    // After a rate change the external spectrum is empty and not playable: a cabinet switched to it is silent.
    s.setExternalSource(0, true);
    s.setEnabled(1, false);
    EXPECT_EQ(firstNonZero(run(s, noise(1000, 10)).left), -1);
    EXPECT_FALSE(s.runs(0));

    std::vector<double> ir(3000, 0.0);
    ir[0] = 0.5;
    ir[1025] = 1.0;  // beyond the N/2 + 1 samples a cabinet may hold
    std::vector<double> prepared;
    ASSERT_TRUE(s.prepareSpectrum(ir.data(), 3000, HighBandRule::From10kCab1, prepared));
    std::vector<double> expected(2048), m(2048), t(2048), time(2048, 0.0);
    time[0] = 0.5;
    RealFft2048 fft;
    prepare_ir_spectrum(fft, time.data(), 44100.0, HighBandRule::From10kCab1, m.data(), t.data(), expected.data());
    EXPECT_EQ(prepared, expected);
    ASSERT_TRUE(s.setExternal(0, prepared.data(), true));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), s.externalSpectrum(0)));
    const std::vector<double> in = noise(1000, 11);
    const Frames playing = run(s, in);
    EXPECT_TRUE(s.runs(0));
    EXPECT_NE(firstNonZero(playing.left), -1);

    // The same response and source again: the tail carries on untouched.
    std::vector<double> tail(s.overlap(0), s.overlap(0) + 2048);
    ASSERT_TRUE(s.setExternal(0, prepared.data(), true));
    s.setExternalSource(0, true);
    run(s, {});
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), s.overlap(0))) << "re-sent values cleared the tail";
    // Another source: a new kernel never meets the old one's tail.
    s.setExternalSource(0, false);
    run(s, {});
    EXPECT_EQ(s.activeSpectrum(0), s.internalSpectrum(0));
    EXPECT_TRUE(std::all_of(s.overlap(0), s.overlap(0) + 2048, [](double v) { return v == 0.0; }));

    // A program switch clears everything the audio side holds at its next block; only the filters' own decay
    // may sound after it, and the delay of 220 holds even that back.
    run(s, noise(700, 12));
    s.clearAll();
    s.setEnabled(1, true);
    s.setDelayTarget(0, 1.0);
    s.setDelayTarget(1, 1.0);
    s.snapDelays();
    const Frames f = run(s, std::vector<double>(220, 0.0));
    EXPECT_EQ(firstNonZero(f.left), -1) << "delay lines or blocks kept old sound";
    EXPECT_EQ(firstNonZero(f.right), -1) << "delay lines or blocks kept old sound";
    EXPECT_NE(firstNonZero(run(s, noise(600, 12)).right), -1);
}

// Controls and external spectra handed over from another thread while audio runs (also built with
// ThreadSanitizer): the audio side takes them between blocks, whole.
TEST(CabinetSectionThreads, ControlsAndSpectraChangeWhileAudioRuns)
{
    CabinetSection s;
    ASSERT_TRUE(s.setSampleRate(48000.0));
    const int n = s.fftSize();
    std::vector<std::vector<double>> spectra;
    for (unsigned seed = 0; seed < 3; ++seed) {
        std::vector<double> prepared;
        const std::vector<double> ir = noise(300, 20 + seed);
        ASSERT_TRUE(s.prepareSpectrum(ir.data(), 300, HighBandRule::Above11k, prepared));
        spectra.push_back(prepared);
    }
    std::atomic<bool> done{false};
    std::thread controls([&] {
        for (int i = 0; !done.load(); ++i) {
            const float v = static_cast<float>(i % 11) / 10.0f;
            s.setPan(i % 2, v);
            s.setVolume(i % 2, 1.0f - v);
            s.setLowpassHz(i % 2, 1000.0 + 9000.0 * v);
            s.setHighpassHz(i % 2, 10.0 + 990.0 * v);
            s.setDelayTarget(i % 2, v);
            if (i % 7 == 0) s.snapDelays();
            s.setPolarityInverted(i % 2, i % 3 == 0);
            s.setEnabled(i % 2, i % 5 != 0);
            s.setExternalSource(i % 2, i % 4 < 2);
            s.setExternal(i % 2, spectra[static_cast<std::size_t>(i) % spectra.size()].data(), i % 9 != 0);
            if (i % 13 == 0) s.clearAll();
            s.setMakeupGain(i % 2 ? 5.0 : 7.5);
            s.setMasterVolume(v);
            std::this_thread::yield();
        }
    });
    const std::vector<double> in = noise(48000, 13);
    bool finite = true;
    float peak = 0.0f;
    for (std::size_t at = 0; at < in.size(); at += 256) {
        const std::vector<double> block(in.begin() + static_cast<std::ptrdiff_t>(at),
                                        in.begin() + static_cast<std::ptrdiff_t>(std::min(at + 256, in.size())));
        const Frames f = run(s, block);
        for (std::size_t i = 0; i < block.size(); ++i) {
            finite = finite && std::isfinite(f.left[i]) && std::isfinite(f.right[i]);
            peak = std::max({peak, std::fabs(f.left[i]), std::fabs(f.right[i])});
        }
    }
    done = true;
    controls.join();
    EXPECT_TRUE(finite);
    // Loud is possible (noise through noise at full gains): finite and within the limit is what counts.
    EXPECT_LE(peak, amp::kOutputLimit) << "the output ran away";
    EXPECT_EQ(n, 2048);
}

}  // namespace
}  // namespace cabinet
