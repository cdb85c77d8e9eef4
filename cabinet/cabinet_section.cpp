#include "cabinet/cabinet_section.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "realtime/triple_buffer.h"
#include "amp/output_limit.h"
#include "cabinet/builtin_irs.h"
#include "cabinet/cabinet_convolver.h"

namespace cabinet {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr double kHighRate = 50000.0;

void zero(std::vector<double>& v) noexcept { std::fill(v.begin(), v.end(), 0.0); }

// What the writer side hands to the audio side: both external spectra, whether each may play, and counters
// that say what changed.
struct ExternalKernels {
    std::array<std::vector<double>, kCabinetCount> spectrum;
    std::array<bool, kCabinetCount> playable{};
    std::array<unsigned, kCabinetCount> generation{};
    unsigned clearSerial = 0;
};

struct DelayLine {
    std::vector<double> line;  // max(D, 1) samples
    int readPosition = 0;
    int length = 0;
    double smoothed = 0.0;  // the 0..1 value the length follows
};

int delayLengthFor(double value, int d) noexcept
{
    const double samples = value * static_cast<double>(d);
    if (!(samples > 0.0)) return 0;
    if (samples >= static_cast<double>(d)) return d;
    return static_cast<int>(samples);
}

double unitOrZero(double v) noexcept { return v >= 0.0 ? std::min(v, 1.0) : 0.0; }

}  // namespace

struct CabinetSection::Engine {
    int n = 0;
    int b = 0;
    int d = 0;
    double fs = 0.0;

    // ---- audio side ----
    int p = 0;
    std::vector<double> x;   // input block: slots 0..B-1 current block, B..N-1 always 0
    std::vector<double> xf;  // its spectrum
    std::array<CabinetConvolver, kCabinetCount> cab;
    std::array<DelayLine, kCabinetCount> delay;
    std::array<const double*, kCabinetCount> active{};  // the kernel each cabinet multiplies with
    std::array<uint64_t, kCabinetCount> kernelId{};     // 0: built-in; odd: external of a generation
    std::array<bool, kCabinetCount> running{};
    unsigned adoptedClear = 0;
    unsigned adoptedSnap = 0;

    // ---- handover, and the writer side's copy of what it last published ----
    realtime::TripleBuffer<ExternalKernels> externals;
    ExternalKernels published;

    // Everything the audio side holds of the signal goes back to zero (not the filters or the position).
    void clearSignal() noexcept
    {
        zero(x);
        zero(xf);
        for (CabinetConvolver& c : cab) {
            zero(c.product);
            zero(c.result);
            c.clearBlock();
        }
        for (DelayLine& l : delay) zero(l.line);
    }
};

CabinetSection::CabinetSection()
    : ffts_(std::make_unique<RealFftPair>()), preparationFfts_(std::make_unique<RealFftPair>())
{
    mix_[1].pan.store(1.0f, kRelaxed);
}

CabinetSection::~CabinetSection() = default;

void CabinetSection::EngineDeleter::operator()(Engine* engine) const noexcept { delete engine; }

// ---- sample rate ----

CabinetSection::EnginePtr CabinetSection::buildEngine(double fs)
{
    if (!std::isfinite(fs) || fs <= 0.0) return nullptr;
    const double delaySamples = fs * 0.005;
    if (!(delaySamples < 1e9)) return nullptr;  // beyond any audio rate; the lines would not fit in memory
    try {
        EnginePtr e(new Engine());
        e->n = fs < kHighRate ? RealFft2048::kSize : RealFft4096::kSize;
        e->b = blockSizeFor(fs);
        e->d = static_cast<int>(delaySamples);
        e->fs = fs;
        const auto n = static_cast<std::size_t>(e->n);
        e->x.assign(n, 0.0);
        e->xf.assign(n, 0.0);
        std::vector<double> time(n), magnitude(n), tangent(n);
        RealFft& fft = *preparationFfts_->pick(e->n);
        for (int c = 0; c < kCabinetCount; ++c) {
            CabinetConvolver& cab = e->cab[c];
            cab.allocate(e->n);
            std::fill(time.begin(), time.end(), 0.0);
            fill_builtin_ir(c, fs, time.data(), e->n);
            prepare_ir_spectrum(fft, time.data(), fs, HighBandRule::Above11k, magnitude.data(), tangent.data(),
                                cab.internal.data());
            e->active[c] = cab.internal.data();
            DelayLine& line = e->delay[c];
            line.line.assign(static_cast<std::size_t>(std::max(e->d, 1)), 0.0);
            line.smoothed = unitOrZero(mix_[c].delayTarget.load(kRelaxed));
            line.length = delayLengthFor(line.smoothed, e->d);
        }
        e->adoptedSnap = delaySnap_.load(std::memory_order_acquire);
        for (std::vector<double>& s : e->published.spectrum) s.assign(n, 0.0);
        e->externals.fill(e->published);
        return e;
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

CabinetSection::EnginePtr CabinetSection::install(EnginePtr engine) noexcept
{
    engine_.swap(engine);
    return engine;
}

bool CabinetSection::setSampleRate(double fs)
{
    if (!std::isfinite(fs) || fs <= 0.0) return false;
    if (engine_ && engine_->fs == fs) return true;
    EnginePtr e = buildEngine(fs);
    if (!e) return false;
    install(std::move(e));
    return true;
}

// ---- audio side ----

bool CabinetSection::adoptPending() noexcept
{
    if (!engine_) return false;
    Engine& e = *engine_;
    if (e.externals.fetch() && e.externals.front().clearSerial != e.adoptedClear) {
        e.adoptedClear = e.externals.front().clearSerial;
        e.clearSignal();
    }
    const unsigned snap = delaySnap_.load(std::memory_order_acquire);
    const bool snapDelays = snap != e.adoptedSnap;
    e.adoptedSnap = snap;

    const ExternalKernels& k = e.externals.front();
    for (int c = 0; c < kCabinetCount; ++c) {
        CabinetConvolver& cab = e.cab[c];
        const bool external = mix_[c].external.load(kRelaxed) != 0;
        const uint64_t id = external ? (uint64_t{k.generation[c]} << 1) | 1u : 0u;
        e.active[c] = external ? k.spectrum[c].data() : cab.internal.data();
        // A new kernel must not meet the tail of the old one.
        if (id != e.kernelId[c]) cab.clearBlock();
        e.kernelId[c] = id;
        const bool runs = mix_[c].enabled.load(kRelaxed) != 0 && (!external || k.playable[c]);
        if (!runs && e.running[c]) cab.clearBlock();
        e.running[c] = runs;
        if (snapDelays) {
            DelayLine& line = e.delay[c];
            line.smoothed = unitOrZero(mix_[c].delayTarget.load(kRelaxed));
            line.length = delayLengthFor(line.smoothed, e.d);
        }
    }
    return true;
}

namespace {

double delayStep(DelayLine& dl, double in) noexcept
{
    double* line = dl.line.data();
    const int capacity = static_cast<int>(dl.line.size());
    // A length of 0 or 1 delays by one sample; a length never reaches past the line.
    const int length = std::clamp(dl.length, 1, capacity);
    int pos = dl.readPosition;
    if (pos >= capacity) pos = 0;
    const double out = line[pos];
    line[pos] = in;
    ++pos;
    if (pos >= length) pos = 0;  // also when the length shrank below the position
    dl.readPosition = pos;
    return out;
}

}  // namespace

void CabinetSection::processFrame(double ampOutputSample, float& left, float& right) noexcept
{
    Engine& e = *engine_;
    const std::size_t p = static_cast<std::size_t>(e.p);
    double l = 0.0;
    double r = 0.0;
    for (int c = 0; c < kCabinetCount; ++c) {
        const Mix& m = mix_[c];
        const double d = delayStep(e.delay[c], e.cab[c].output[p]);
        const float pan = m.pan.load(kRelaxed);
        const double volume = m.volume.load(kRelaxed);
        const double sign = m.polarity.load(kRelaxed);
        l += static_cast<double>(1.0f - pan) * d * volume * sign;
        r += static_cast<double>(pan) * d * volume * sign;
    }
    const double g = makeupGain_.load(kRelaxed);
    const double v = masterVolume_.load(kRelaxed);
    left = amp::limitOutput(l * g * v);
    right = amp::limitOutput(r * g * v);

    e.x[p] = ampOutputSample;
    if (e.p == e.b - 1) runBlock();
    if (++e.p >= e.b) e.p = 0;
}

void CabinetSection::runBlock() noexcept
{
    Engine& e = *engine_;
    if (!e.running[0] && !e.running[1]) {
        for (CabinetConvolver& c : e.cab) c.silence(e.b);
    } else if (e.n == RealFft2048::kSize) {
        convolveWith(ffts_->fft2048);
    } else {
        convolveWith(ffts_->fft4096);
    }
    for (int c = 0; c < kCabinetCount; ++c) {
        // The delay glides a tenth of the way per block and takes its target once within a sample of it.
        DelayLine& line = e.delay[c];
        const double target = unitOrZero(mix_[c].delayTarget.load(kRelaxed));
        double s = 0.9 * line.smoothed + 0.1 * target;
        if (std::fabs(target - s) * e.d < 1.0) s = target;
        line.smoothed = s;
        line.length = delayLengthFor(s, e.d);
    }
}

template <class Fft>
void CabinetSection::convolveWith(Fft& fft) noexcept
{
    Engine& e = *engine_;
    fft.forward(e.x.data(), e.xf.data());
    for (int c = 0; c < kCabinetCount; ++c) {
        CabinetConvolver& cab = e.cab[c];
        if (!e.running[c]) {
            cab.silence(e.b);
            continue;
        }
        const Mix& m = mix_[c];
        cab.convolve(fft, e.xf.data(), e.active[c], e.b, m.lowpassHz.load(kRelaxed), m.highpassHz.load(kRelaxed),
                     e.fs);
        // Nothing upstream can produce a non-finite block; should it happen anyway, the cabinet starts over
        // instead of carrying it in its tail and filters for good.
        double sum = 0.0;
        for (int i = 0; i < e.b; ++i) sum += cab.output[static_cast<std::size_t>(i)];
        if (!std::isfinite(sum)) {
            cab.clearBlock();
            cab.lowpass.reset();
            cab.highpass.reset();
        }
    }
}

// ---- controls ----

void CabinetSection::setPolarityInverted(int c, bool inverted) noexcept
{
    if (validCabinet(c)) mix_[c].polarity.store(inverted ? -1 : 1, kRelaxed);
}

void CabinetSection::setVolume(int c, float volume) noexcept
{
    if (validCabinet(c)) mix_[c].volume.store(volume, kRelaxed);
}

void CabinetSection::setPan(int c, float pan) noexcept
{
    if (validCabinet(c)) mix_[c].pan.store(pan, kRelaxed);
}

void CabinetSection::setLowpassHz(int c, double hz) noexcept
{
    if (validCabinet(c)) mix_[c].lowpassHz.store(hz, kRelaxed);
}

void CabinetSection::setHighpassHz(int c, double hz) noexcept
{
    if (validCabinet(c)) mix_[c].highpassHz.store(hz, kRelaxed);
}

void CabinetSection::setEnabled(int c, bool on) noexcept
{
    if (validCabinet(c)) mix_[c].enabled.store(on ? 1 : 0, kRelaxed);
}

void CabinetSection::setExternalSource(int c, bool external) noexcept
{
    if (validCabinet(c)) mix_[c].external.store(external ? 1 : 0, kRelaxed);
}

void CabinetSection::setMakeupGain(double gain) noexcept { makeupGain_.store(gain, kRelaxed); }

void CabinetSection::setMasterVolume(float volume) noexcept { masterVolume_.store(volume, kRelaxed); }

void CabinetSection::setDelayTarget(int c, double value) noexcept
{
    if (validCabinet(c)) mix_[c].delayTarget.store(value, kRelaxed);
}

void CabinetSection::snapDelays() noexcept { delaySnap_.fetch_add(1, std::memory_order_release); }

// ---- writer side ----

void CabinetSection::publish() noexcept
{
    Engine& e = *engine_;
    ExternalKernels& slot = e.externals.back();
    // Same sizes in every slot: these copies allocate nothing.
    for (int c = 0; c < kCabinetCount; ++c) std::copy(e.published.spectrum[c].begin(), e.published.spectrum[c].end(),
                                                      slot.spectrum[c].begin());
    slot.playable = e.published.playable;
    slot.generation = e.published.generation;
    slot.clearSerial = e.published.clearSerial;
    e.externals.publish();
}

bool CabinetSection::setExternal(int c, const double* spectrum, bool playable) noexcept
{
    if (!validCabinet(c) || !engine_ || spectrum == nullptr) return false;
    Engine& e = *engine_;
    std::vector<double>& held = e.published.spectrum[c];
    if (playable == e.published.playable[c] && std::equal(held.begin(), held.end(), spectrum)) return true;
    std::copy(spectrum, spectrum + e.n, held.begin());
    e.published.playable[c] = playable;
    ++e.published.generation[c];
    publish();
    return true;
}

void CabinetSection::clearAll() noexcept
{
    if (!engine_) return;
    ++engine_->published.clearSerial;
    publish();
}

bool CabinetSection::prepareSpectrum(const double* samples, int count, HighBandRule rule,
                                     std::vector<double>& spectrum)
{
    if (!engine_) return false;
    prepare_response_spectrum(*preparationFfts_->pick(engine_->n), samples, count, engine_->fs, rule, spectrum);
    return true;
}

// ---- state ----

int CabinetSection::fftSize() const noexcept { return engine_ ? engine_->n : 0; }
int CabinetSection::blockSizeFor(double fs) noexcept { return fs < kHighRate ? 200 : 400; }
int CabinetSection::latencyFor(double fs) noexcept { return blockSizeFor(fs) + 1; }

int CabinetSection::blockSize() const noexcept { return engine_ ? engine_->b : 0; }
int CabinetSection::delaySize() const noexcept { return engine_ ? engine_->d : 0; }
double CabinetSection::sampleRate() const noexcept { return engine_ ? engine_->fs : 0.0; }
int CabinetSection::blockPosition() const noexcept { return engine_ ? engine_->p : 0; }

int CabinetSection::delayLength(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->delay[c].length : 0;
}

bool CabinetSection::runs(int c) const noexcept { return engine_ && validCabinet(c) && engine_->running[c]; }

const double* CabinetSection::externalSpectrum(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->published.spectrum[c].data() : nullptr;
}

const double* CabinetSection::internalSpectrum(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->cab[c].internal.data() : nullptr;
}

const double* CabinetSection::activeSpectrum(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->active[c] : nullptr;
}

const double* CabinetSection::overlap(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->cab[c].overlap.data() : nullptr;
}

const double* CabinetSection::outputBlock(int c) const noexcept
{
    return engine_ && validCabinet(c) ? engine_->cab[c].output.data() : nullptr;
}

}  // namespace cabinet
