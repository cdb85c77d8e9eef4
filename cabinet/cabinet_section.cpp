#include "cabinet/cabinet_section.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "cabinet/builtin_irs.h"

namespace cabinet {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr double kHighRate = 50000.0;

void zero(std::vector<double>& v) noexcept { std::fill(v.begin(), v.end(), 0.0); }

}  // namespace

CabinetSection::CabinetSection()
    : ffts_(std::make_unique<RealFftPair>()), preparationFfts_(std::make_unique<RealFftPair>())
{
    mix_[1].pan.store(1.0f, kRelaxed);
}

bool CabinetSection::setSampleRate(double fs) noexcept
{
    if (!std::isfinite(fs) || fs <= 0.0) return false;
    for (CabinetConvolver& c : cab_) {
        c.lowpass.reset();
        c.highpass.reset();
    }
    if (fs == previousRate_) return true;

    const int n = fs < kHighRate ? RealFft2048::kSize : RealFft4096::kSize;
    const int b = fs < kHighRate ? 200 : 400;
    const double delaySamples = fs * 0.005;
    if (!(delaySamples < 1e9)) return false;  // beyond any audio rate; the lines would not fit in memory
    const int d = static_cast<int>(delaySamples);

    // Everything new is built aside first, so a failed allocation leaves the running state as it was.
    try {
        std::array<CabinetConvolver, kCabinetCount> fresh;
        RealFft& fft = *ffts_->pick(n);
        for (int c = 0; c < kCabinetCount; ++c) {
            CabinetConvolver& f = fresh[c];
            f.allocate(n);
            fill_builtin_ir(c, fs, f.time.data(), n);
            prepare_ir_spectrum(fft, f.time.data(), fs, HighBandRule::Above11k, f.magnitude.data(),
                                f.tangent.data(), f.internal.data());
            f.active = f.internal;
        }
        std::vector<double> x(static_cast<std::size_t>(n), 0.0);
        std::vector<double> xf(static_cast<std::size_t>(n), 0.0);
        std::array<std::vector<double>, kCabinetCount> lines;
        for (auto& line : lines) line.assign(static_cast<std::size_t>(std::max(d, 1)), 0.0);

        for (int c = 0; c < kCabinetCount; ++c) {
            cab_[c].swapBuffers(fresh[c]);
            cab_[c].ready.store(1, kRelaxed);
            mix_[c].line.swap(lines[c]);
            mix_[c].readPosition = 0;
        }
        x_.swap(x);
        xf_.swap(xf);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    n_ = n;
    b_ = b;
    d_ = d;
    p_ = 0;
    fs_ = fs;
    previousRate_ = fs;
    for (Mix& m : mix_) m.delayLength.store(delayLengthFor(m.delayValue.load(kRelaxed)), kRelaxed);
    return true;
}

int CabinetSection::delayLengthFor(double value) const noexcept
{
    const double samples = value * static_cast<double>(d_);
    if (!(samples > 0.0)) return 0;
    if (samples >= static_cast<double>(d_)) return d_;
    return static_cast<int>(samples);
}

double CabinetSection::delayStep(Mix& mix, double in) noexcept
{
    double* line = mix.line.data();
    const int capacity = static_cast<int>(mix.line.size());
    // A length of 0 or 1 delays by one sample; a length never reaches past the line, whatever was written.
    const int length = std::clamp(mix.delayLength.load(kRelaxed), 1, capacity);
    int pos = mix.readPosition;
    if (pos >= capacity) pos = 0;
    const double out = line[pos];
    line[pos] = in;
    ++pos;
    if (pos >= length) pos = 0;  // also when the length shrank below the position
    mix.readPosition = pos;
    return out;
}

void CabinetSection::processFrame(double ampOutputSample, float& left, float& right) noexcept
{
    if (!hasBuffers()) {
        left = 0.0f;
        right = 0.0f;
        return;
    }
    const std::size_t p = static_cast<std::size_t>(p_);
    double l = 0.0;
    double r = 0.0;
    for (int c = 0; c < kCabinetCount; ++c) {
        Mix& m = mix_[c];
        const double d = delayStep(m, cab_[c].output[p]);
        const float pan = m.pan.load(kRelaxed);
        const double volume = m.volume.load(kRelaxed);
        const double sign = m.polarity.load(kRelaxed);
        l += static_cast<double>(1.0f - pan) * d * volume * sign;
        r += static_cast<double>(pan) * d * volume * sign;
    }
    const double g = makeupGain_.load(kRelaxed);
    const double v = masterVolume_.load(kRelaxed);
    left = static_cast<float>(l * g * v);
    right = static_cast<float>(r * g * v);

    x_[p] = ampOutputSample;
    if (p_ == b_ - 1) runBlock();
    if (++p_ >= b_) p_ = 0;
}

void CabinetSection::runBlock() noexcept
{
    const bool runs[kCabinetCount] = {cab_[0].runs(), cab_[1].runs()};
    if (!runs[0] && !runs[1]) {
        // No transform; a cabinet that stopped without being cleared still falls silent.
        for (CabinetConvolver& c : cab_) c.silence(b_);
        return;
    }
    if (n_ == RealFft2048::kSize)
        convolveWith(ffts_->fft2048, runs);
    else
        convolveWith(ffts_->fft4096, runs);
}

template <class Fft>
void CabinetSection::convolveWith(Fft& fft, const bool (&runs)[kCabinetCount]) noexcept
{
    fft.forward(x_.data(), xf_.data());
    for (int c = 0; c < kCabinetCount; ++c) {
        CabinetConvolver& cab = cab_[c];
        const Mix& m = mix_[c];
        if (runs[c])
            cab.convolve(fft, xf_.data(), b_, m.lowpassHz.load(kRelaxed), m.highpassHz.load(kRelaxed), fs_);
        else
            cab.silence(b_);
    }
}

// ---- mixer controls ----

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
    if (validCabinet(c)) cab_[c].enabled.store(on ? 1 : 0, kRelaxed);
}

void CabinetSection::setMakeupGain(double gain) noexcept { makeupGain_.store(gain, kRelaxed); }

void CabinetSection::setMasterVolume(float volume) noexcept { masterVolume_.store(volume, kRelaxed); }

void CabinetSection::setDelay(int c, double smoothedValue) noexcept
{
    if (!validCabinet(c)) return;
    Mix& m = mix_[c];
    m.delayValue.store(smoothedValue, kRelaxed);
    m.delayLength.store(delayLengthFor(smoothedValue), kRelaxed);
}

// ---- parameter path ----

void CabinetSection::clearBlock(int c) noexcept
{
    if (validCabinet(c)) cab_[c].clearBlock();
}

void CabinetSection::clearInputBlock() noexcept
{
    zero(x_);
    zero(xf_);
}

void CabinetSection::useInternal(int c) noexcept
{
    if (!validCabinet(c)) return;
    CabinetConvolver& cab = cab_[c];
    std::copy(cab.internal.begin(), cab.internal.end(), cab.active.begin());
}

void CabinetSection::useExternal(int c) noexcept
{
    if (!validCabinet(c)) return;
    CabinetConvolver& cab = cab_[c];
    std::copy(cab.external.begin(), cab.external.end(), cab.active.begin());
}

void CabinetSection::setReady(int c, bool ready) noexcept
{
    if (validCabinet(c)) cab_[c].ready.store(ready ? 1 : 0, kRelaxed);
}

void CabinetSection::clearForProgramChange() noexcept
{
    clearInputBlock();
    for (CabinetConvolver& cab : cab_) {
        zero(cab.product);
        zero(cab.result);
        zero(cab.external);
    }
    for (Mix& m : mix_) zero(m.line);
    for (CabinetConvolver& cab : cab_) {
        zero(cab.time);
        zero(cab.active);
        cab.clearBlock();
        zero(cab.magnitude);
        zero(cab.tangent);
    }
}

bool CabinetSection::prepareSpectrum(const double* samples, int count, HighBandRule rule,
                                     std::vector<double>& spectrum)
{
    RealFft* fft = preparationFfts_->pick(n_);
    if (fft == nullptr) return false;
    const auto n = static_cast<std::size_t>(n_);
    std::vector<double> time(n, 0.0), magnitude(n), tangent(n);
    spectrum.assign(n, 0.0);
    // At most N/2 + 1 samples, so that a block's convolution never wraps around the transform.
    const int used = std::clamp(count, 0, n_ / 2 + 1);
    if (samples != nullptr) std::copy(samples, samples + used, time.begin());
    prepare_ir_spectrum(*fft, time.data(), fs_, rule, magnitude.data(), tangent.data(), spectrum.data());
    if (!is_prepared_spectrum(spectrum.data(), n_)) zero(spectrum);
    return true;
}

bool CabinetSection::prepareExternal(int c, const double* samples, int count, HighBandRule rule) noexcept
{
    if (!validCabinet(c) || !hasBuffers()) return false;
    try {
        std::vector<double> spectrum;
        prepareSpectrum(samples, count, rule, spectrum);
        std::copy(spectrum.begin(), spectrum.end(), cab_[c].external.begin());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ---- state ----

int CabinetSection::delayLength(int c) const noexcept
{
    return validCabinet(c) ? mix_[c].delayLength.load(kRelaxed) : 0;
}

bool CabinetSection::ready(int c) const noexcept
{
    return validCabinet(c) && cab_[c].ready.load(kRelaxed) != 0;
}

bool CabinetSection::enabled(int c) const noexcept
{
    return validCabinet(c) && cab_[c].enabled.load(kRelaxed) != 0;
}

namespace {

template <class Vec>
auto dataOrNull(Vec& v) noexcept
{
    return v.empty() ? nullptr : v.data();
}

}  // namespace

double* CabinetSection::activeSpectrum(int c) noexcept
{
    return validCabinet(c) ? dataOrNull(cab_[c].active) : nullptr;
}

double* CabinetSection::internalSpectrum(int c) noexcept
{
    return validCabinet(c) ? dataOrNull(cab_[c].internal) : nullptr;
}

double* CabinetSection::externalSpectrum(int c) noexcept
{
    return validCabinet(c) ? dataOrNull(cab_[c].external) : nullptr;
}

const double* CabinetSection::overlap(int c) const noexcept
{
    return validCabinet(c) ? dataOrNull(cab_[c].overlap) : nullptr;
}

const double* CabinetSection::outputBlock(int c) const noexcept
{
    return validCabinet(c) ? dataOrNull(cab_[c].output) : nullptr;
}

}  // namespace cabinet
