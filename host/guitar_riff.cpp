#include "host/guitar_riff.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace vsthost {
namespace {

constexpr double kEighth = 0.2;  // seconds: 150 beats per minute
constexpr double kStrumGap = 0.008;
constexpr double kPeak = 0.5;

struct Event {
    double at;          // in eighths
    double length;      // in eighths
    int notes[3];       // MIDI note numbers, 0 = unused
    double velocity;
};

// Power chords (root, fifth, octave) and single notes in E minor.
constexpr Event kRiff[] = {
    {0, 2, {40, 47, 52}, 1.0},  {2, 1, {40, 47, 52}, 0.7},  {3, 2, {43, 50, 55}, 0.9},
    {5, 3, {45, 52, 57}, 1.0},  {8, 1, {52, 0, 0}, 0.8},    {9, 1, {55, 0, 0}, 0.7},
    {10, 1, {57, 0, 0}, 0.8},   {11, 1, {59, 0, 0}, 0.7},   {12, 2, {62, 0, 0}, 0.9},
    {14, 1, {59, 0, 0}, 0.7},   {15, 1, {57, 0, 0}, 0.7},   {16, 2, {48, 55, 60}, 1.0},
    {18, 2, {47, 54, 59}, 0.9}, {20, 4, {45, 52, 57}, 1.0}, {24, 2, {64, 0, 0}, 0.9},
    {26, 2, {67, 0, 0}, 0.8},   {28, 1, {69, 0, 0}, 0.9},   {29, 5, {40, 47, 52}, 1.0},
};
constexpr double kRiffEighths = 36;

class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1u) {}
    double next() {  // uniform in -1..1
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483647.5 - 1.0;
    }

private:
    uint32_t state_;
};

double midiToHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// One plucked string added into `out` from frame `start`: a delay loop of one period with a two-tap
// averaging filter (the Karplus-Strong string), excited by a low-passed noise burst shaped by the pick
// position, and damped by the fretting hand after `hold` seconds.
void pluck(std::vector<double>& out, double rate, std::size_t start, double hz, double hold, double velocity,
           Random& random) {
    const double period = rate / hz;
    if (period < 4.0) return;  // above a quarter of the rate no string can be modelled
    const auto line = static_cast<std::size_t>(std::ceil(period)) + 4;
    std::vector<double> delay(line, 0.0);
    const double read = period - 0.5;  // the averaging filter adds half a sample

    // The string's shape when the pick lets go: a triangle peaking at the pick position (harmonics
    // falling as 1/k^2, with notches at multiples of 1/position), softened by the pick and with a
    // little noise for the scrape of the string.
    const auto burst = static_cast<std::size_t>(period);
    constexpr double pickPosition = 0.13;
    std::vector<double> excitation(burst, 0.0);
    double mean = 0.0;
    for (std::size_t i = 0; i < burst; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(burst);
        excitation[i] = (x < pickPosition ? x / pickPosition : (1.0 - x) / (1.0 - pickPosition)) + 0.05 * random.next();
        mean += excitation[i];
    }
    mean /= static_cast<double>(burst);
    double smooth = 0.0;
    const double softness = 0.3 + 0.4 * velocity;
    for (double& x : excitation) {
        smooth += softness * (x - mean - smooth);
        x = smooth * velocity;
    }

    const double ringLoss = std::pow(0.001, 1.0 / (hz * 4.0));   // 60 dB in 4 s, before the filter's own
    const double dampLoss = std::pow(0.001, 1.0 / (hz * 0.08));  // 60 dB in 80 ms once released
    const auto holdFrames = static_cast<std::size_t>(hold * rate);
    const std::size_t total = std::min(out.size() - std::min(out.size(), start), holdFrames + static_cast<std::size_t>(0.12 * rate));

    const std::size_t clickFrames = static_cast<std::size_t>(0.002 * rate) + 1;
    double clickState = 0.0;
    std::size_t write = 0;
    auto at = [&](double back) {  // the line `back` samples ago, linearly interpolated
        double pos = static_cast<double>(write) - back;
        while (pos < 0) pos += static_cast<double>(line);
        const auto i0 = static_cast<std::size_t>(pos) % line;
        const double frac = pos - std::floor(pos);
        return delay[i0] * (1.0 - frac) + delay[(i0 + 1) % line] * frac;
    };
    for (std::size_t n = 0; n < total; ++n) {
        const double loss = n < holdFrames ? ringLoss : dampLoss;
        double y = loss * 0.5 * (at(read) + at(read + 1.0));
        if (n < burst) y += excitation[n];
        delay[write] = y;
        write = (write + 1) % line;
        double sample = y;
        if (n < clickFrames) {  // the pick leaving the string: a short bright click
            const double noise = random.next();
            sample += 0.1 * velocity * (noise - clickState) * (1.0 - static_cast<double>(n) / static_cast<double>(clickFrames));
            clickState = noise;
        }
        out[start + n] += sample;
    }
}

}  // namespace

double riffSeconds() { return kRiffEighths * kEighth; }

std::vector<float> guitarRiff(double rate, double seconds) {
    const auto frames = static_cast<std::size_t>(std::max(0.0, std::round(seconds * rate)));
    std::vector<double> mix(frames, 0.0);
    Random random(0x7a11c0deu);
    for (double pass = 0.0; pass * riffSeconds() < seconds; pass += 1.0) {
        for (const Event& event : kRiff) {
            int voice = 0;
            for (int note : event.notes) {
                if (!note) continue;
                const double at = (pass * kRiffEighths + event.at) * kEighth + kStrumGap * voice++;
                const auto start = static_cast<std::size_t>(at * rate);
                if (start >= frames) continue;
                pluck(mix, rate, start, midiToHz(note), event.length * kEighth - 0.02, event.velocity, random);
            }
        }
    }
    // A pickup and cable: DC blocked, rolled off above about 6 kHz.
    const double pole = std::exp(-2.0 * std::numbers::pi * std::min(6000.0, 0.45 * rate) / rate);
    double lowpass = 0.0, previous = 0.0, dcBlocked = 0.0, peak = 0.0;
    for (double& x : mix) {
        dcBlocked = x - previous + 0.995 * dcBlocked;
        previous = x;
        lowpass = (1.0 - pole) * dcBlocked + pole * lowpass;
        x = lowpass;
        peak = std::max(peak, std::abs(x));
    }
    std::vector<float> out(frames);
    const double gain = peak > 0.0 ? kPeak / peak : 0.0;
    for (std::size_t i = 0; i < frames; ++i) out[i] = static_cast<float>(mix[i] * gain);
    return out;
}

}  // namespace vsthost
