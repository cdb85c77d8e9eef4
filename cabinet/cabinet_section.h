#pragma once
// The whole cabinet side of the full-stack plug-in: two convolving cabinets fed by the amp's output, their
// filters and delay lines, and the stereo mixer that produces the host's output frame.
//
// Threads. Everything the audio path reads and writes lives in an engine (the buffers of one sample rate)
// that only the holder of the audio side touches: the audio thread inside a process call, or another thread
// while no audio runs (the owner decides who holds it; see realtime/realtime.h). That holder calls
// adoptPending, processFrame and install. Everybody else reaches the engine only through
//  - the controls (set*), atomics that any thread may write at any time, read per frame or per block;
//  - setExternal and clearAll, published without locks and taken at the next adoptPending;
//  - a whole new engine for a new rate, built aside by buildEngine and swapped in by install.
// The writer-side calls (buildEngine, setExternal, clearAll, prepareSpectrum) need one caller at a time.
// Cabinet indices are 0 (cabinet 1) and 1 (cabinet 2); other indices are ignored.

#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/real_fft.h"

namespace cabinet {

inline constexpr int kCabinetCount = 2;

class CabinetSection {
public:
    struct Engine;
    struct EngineDeleter {
        void operator()(Engine* engine) const noexcept;
    };
    using EnginePtr = std::unique_ptr<Engine, EngineDeleter>;

    CabinetSection();  // builds the transforms; no engine exists until the first rate
    ~CabinetSection();
    CabinetSection(const CabinetSection&) = delete;
    CabinetSection& operator=(const CabinetSection&) = delete;

    // ---- sample rate ----
    // Writer side: the engine for rate fs (N, B and D from the rate, every buffer zeroed, both built-in
    // responses prepared as the internal spectra, the external spectra empty and not playable). nullptr for a
    // rate that is not finite and positive, or when memory runs out. Allocates; never touches the live engine.
    EnginePtr buildEngine(double fs);
    // Holder of the audio side: makes `engine` the live one in constant time and returns the previous one,
    // to be freed by the caller outside the audio path.
    EnginePtr install(EnginePtr engine) noexcept;
    // Both in one, for a caller that is the only thread (tests): a new engine only when fs differs from the
    // current rate; a call with the current rate keeps every state. False for an unusable rate.
    bool setSampleRate(double fs);

    // ---- audio side ----
    // Takes what other threads handed over (kernels, clearing, delay snaps, switched-off cabinets). False
    // before the first rate: then nothing may be processed.
    bool adoptPending() noexcept;
    // One frame: the mixer's output from both delayed cabinet outputs, then the amp sample enters the current
    // block, which is convolved when it is full. Only after a successful adoptPending.
    void processFrame(double ampOutputSample, float& left, float& right) noexcept;

    // ---- controls, any thread, never blocking ----
    void setPolarityInverted(int cabinet, bool inverted) noexcept;
    void setVolume(int cabinet, float volume) noexcept;  // linear 0..1
    void setPan(int cabinet, float pan) noexcept;        // 0 full left .. 1 full right
    void setLowpassHz(int cabinet, double hz) noexcept;
    void setHighpassHz(int cabinet, double hz) noexcept;
    // A cabinet switched off contributes nothing and its tail is cleared at the next block.
    void setEnabled(int cabinet, bool enabled) noexcept;
    // Which spectrum a cabinet plays: the built-in one or the external one. A change clears the cabinet's
    // tail at the next block; setting the source it already has changes nothing.
    void setExternalSource(int cabinet, bool external) noexcept;
    void setMakeupGain(double gain) noexcept;     // 5.0, or 7.5 with the stereo link
    void setMasterVolume(float volume) noexcept;  // linear
    // Delay as a fraction 0..1 of the 5 ms line. The line's length glides there: at each convolution block
    // it moves a tenth of the remaining distance, and takes the target once within a sample of it.
    void setDelayTarget(int cabinet, double value) noexcept;
    // The delays jump to their targets at the next block (a program switch).
    void snapDelays() noexcept;

    // ---- writer side ----
    // Replaces a cabinet's external spectrum (N doubles) and whether it may play when selected. Identical
    // content is not published again, so re-applying the same response is inaudible. False when no engine
    // exists or the index is invalid.
    bool setExternal(int cabinet, const double* spectrum, bool playable) noexcept;
    // A program switch: the audio side clears the input block, products, results, overlaps, output blocks and
    // delay lines at its next block.
    void clearAll() noexcept;
    // Prepares up to N/2 + 1 `samples` (zero-padded to N) into `spectrum` (N doubles) with `rule` at the
    // current rate, with transforms of its own. Anything but a usable spectrum (e.g. from damaged samples)
    // comes out as silence. False when no engine exists yet. Allocates.
    bool prepareSpectrum(const double* samples, int count, HighBandRule rule, std::vector<double>& spectrum);

    // ---- state, for the writer side and tests ----
    int fftSize() const noexcept;    // N: 0 before the first rate, else 2048 or 4096
    int blockSize() const noexcept;  // B: 200 or 400
    static int blockSizeFor(double fs) noexcept;
    // How late every sample leaves at rate fs, whatever the controls: a frame enters the block that is
    // convolved when full (B), and the delay line holds it at least one sample more.
    static int latencyFor(double fs) noexcept;
    int delaySize() const noexcept;  // D = trunc(fs * 0.005)
    double sampleRate() const noexcept;
    const double* externalSpectrum(int cabinet) const noexcept;  // as last set (writer side)
    const double* internalSpectrum(int cabinet) const noexcept;
    // What the audio side took at its last adoptPending:
    int blockPosition() const noexcept;
    int delayLength(int cabinet) const noexcept;
    bool runs(int cabinet) const noexcept;
    const double* activeSpectrum(int cabinet) const noexcept;
    const double* overlap(int cabinet) const noexcept;
    const double* outputBlock(int cabinet) const noexcept;

private:
    struct Mix {
        std::atomic<int> polarity{1};
        std::atomic<float> volume{0.5f};
        std::atomic<float> pan{0.0f};
        std::atomic<double> lowpassHz{10000.0};
        std::atomic<double> highpassHz{10.0};
        std::atomic<double> delayTarget{0.0};
        std::atomic<int> enabled{1};
        std::atomic<int> external{0};
    };

    static bool validCabinet(int c) noexcept { return c >= 0 && c < kCabinetCount; }
    void publish() noexcept;
    void runBlock() noexcept;
    template <class Fft>
    void convolveWith(Fft& fft) noexcept;

    std::unique_ptr<RealFftPair> ffts_;  // the audio side's transforms
    // Transforms for preparing spectra on the writer side: a transform's work buffer serves one caller.
    std::unique_ptr<RealFftPair> preparationFfts_;
    std::array<Mix, kCabinetCount> mix_;
    std::atomic<double> makeupGain_{5.0};
    std::atomic<float> masterVolume_{0.5f};
    std::atomic<unsigned> delaySnap_{0};
    EnginePtr engine_;
};

}  // namespace cabinet
