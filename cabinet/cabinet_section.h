#pragma once
// The whole cabinet side of the full-stack plug-in: two convolving cabinets fed by the amp's output, their
// filters and delay lines, and the stereo mixer that produces the host's output frame.
//
// Threads. processFrame runs on the audio thread. The mixer controls (set*) may be written from any thread
// while it runs; they are relaxed atomics read per frame or per block. Everything else (setSampleRate and the
// parameter-path operations that rewrite spectra or clear buffers) must not run during processFrame.
// Cabinet indices are 0 (cabinet 1) and 1 (cabinet 2); other indices are ignored (accessors give nullptr).

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "cabinet/cabinet_convolver.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/real_fft.h"

namespace cabinet {

inline constexpr int kCabinetCount = 2;

class CabinetSection {
public:
    CabinetSection();  // builds both transforms; no convolution buffer exists until setSampleRate

    // Cabinet part of the sample-rate set-up. Always resets the four filters. When fs differs from the last
    // rate: chooses N, B and D, allocates every buffer anew (zeroed), prepares both built-in responses into
    // the active and internal spectra and marks both cabinets ready. A rate that is not finite and positive is
    // ignored (returns false); so is a failed allocation, which keeps the previous state intact.
    bool setSampleRate(double fs) noexcept;

    // One frame: the mixer's output from both delayed cabinet outputs, then the amp sample enters the current
    // block, which is convolved when it is full. Silence before the first setSampleRate.
    void processFrame(double ampOutputSample, float& left, float& right) noexcept;

    // ---- mixer controls, any thread ----
    void setPolarityInverted(int cabinet, bool inverted) noexcept;
    void setVolume(int cabinet, float volume) noexcept;  // linear 0..1
    void setPan(int cabinet, float pan) noexcept;        // 0 full left .. 1 full right
    void setLowpassHz(int cabinet, double hz) noexcept;
    void setHighpassHz(int cabinet, double hz) noexcept;
    // A stopped cabinet's output block and tail are zeroed by the audio thread at the next block boundary, so
    // switching off needs no clearing from another thread.
    void setEnabled(int cabinet, bool enabled) noexcept;
    void setMakeupGain(double gain) noexcept;             // 5.0, or 7.5 with the stereo link
    void setMasterVolume(float volume) noexcept;          // linear
    // Delay from the smoothed 0..1 value: trunc(value * D) samples, clamped to 0..D. Kept and re-applied to
    // the new D at a rate change.
    void setDelay(int cabinet, double smoothedValue) noexcept;

    // ---- parameter path, never during processFrame ----
    void clearBlock(int cabinet) noexcept;  // overlap and output block
    void clearInputBlock() noexcept;        // the shared input block and its spectrum
    void useInternal(int cabinet) noexcept; // active := internal
    void useExternal(int cabinet) noexcept; // active := external
    void setReady(int cabinet, bool ready) noexcept;
    // What a program switch clears: the input block and its spectrum, products, results, delay lines and
    // external spectra, then time buffers, active spectra, overlaps, output blocks and preparation scratch.
    void clearForProgramChange() noexcept;
    // Prepares up to N/2 + 1 `samples` (zero-padded to N) into `spectrum` (N doubles) with `rule` at the
    // current rate. Uses transforms of its own, not the audio thread's, so it may run while audio plays.
    // Anything but a usable spectrum (e.g. from damaged samples) comes out as silence. False when no
    // buffers exist yet. Allocates.
    bool prepareSpectrum(const double* samples, int count, HighBandRule rule, std::vector<double>& spectrum);
    // The same into the cabinet's external spectrum. Does not touch ready or active. False when no buffers
    // exist yet or the index is invalid.
    bool prepareExternal(int cabinet, const double* samples, int count, HighBandRule rule) noexcept;

    // ---- state ----
    int fftSize() const noexcept { return n_; }    // N: 0 before the first rate, else 2048 or 4096
    int blockSize() const noexcept { return b_; }  // B: 200 or 400
    int delaySize() const noexcept { return d_; }  // D = trunc(fs * 0.005)
    int blockPosition() const noexcept { return p_; }
    double sampleRate() const noexcept { return fs_; }
    int delayLength(int cabinet) const noexcept;
    bool ready(int cabinet) const noexcept;
    bool enabled(int cabinet) const noexcept;
    RealFft* fft() noexcept { return ffts_->pick(n_); }  // nullptr before the first rate

    // N-double buffers of a cabinet (nullptr before the first rate or for an invalid index).
    double* activeSpectrum(int cabinet) noexcept;
    double* internalSpectrum(int cabinet) noexcept;
    double* externalSpectrum(int cabinet) noexcept;
    const double* overlap(int cabinet) const noexcept;
    const double* outputBlock(int cabinet) const noexcept;

private:
    struct Mix {
        std::atomic<int> polarity{1};
        std::atomic<float> volume{0.5f};
        std::atomic<float> pan{0.0f};
        std::atomic<double> lowpassHz{10000.0};
        std::atomic<double> highpassHz{10.0};
        std::atomic<double> delayValue{0.0};
        std::atomic<int> delayLength{0};
        std::vector<double> line;  // max(D, 1) samples
        int readPosition = 0;
    };

    bool validCabinet(int c) const noexcept { return c >= 0 && c < kCabinetCount; }
    bool hasBuffers() const noexcept { return n_ > 0; }
    double delayStep(Mix& mix, double in) noexcept;
    void runBlock() noexcept;
    template <class Fft>
    void convolveWith(Fft& fft, const bool (&runs)[kCabinetCount]) noexcept;
    int delayLengthFor(double value) const noexcept;

    std::unique_ptr<RealFftPair> ffts_;  // 2048 and 4096 points, for the object's whole life
    // Transforms for preparing spectra off the audio thread: a transform's work buffer serves one caller.
    std::unique_ptr<RealFftPair> preparationFfts_;
    std::array<CabinetConvolver, kCabinetCount> cab_;
    std::array<Mix, kCabinetCount> mix_;
    std::vector<double> x_;   // input block: slots 0..B-1 current block, B..N-1 always 0
    std::vector<double> xf_;  // its spectrum
    std::atomic<double> makeupGain_{5.0};
    std::atomic<float> masterVolume_{0.5f};
    int n_ = 0;
    int b_ = 0;
    int d_ = 0;
    int p_ = 0;
    double fs_ = 0.0;
    double previousRate_ = 0.0;
};

}  // namespace cabinet
