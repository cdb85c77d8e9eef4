#include "cabinet/ir_file.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "cabinet/resample_ir.h"

namespace cabinet {
namespace {

constexpr double kSilenceThreshold = 0.01;
// Samples read per block while looking for the first audible frame.
constexpr std::size_t kBlockSamples = 16384;

bool refuse(std::string* reason, const char* why, std::vector<double>& kept)
{
    kept.clear();
    if (reason != nullptr) {
        try {
            *reason = why;
        } catch (const std::bad_alloc&) {
        }
    }
    return false;
}

// File samples after the first audible one that give n/2 samples at the host rate, interpolated up to the last
// (the resampler's tangents look two samples ahead).
std::size_t samplesNeeded(int half, double fileRate, double hostRate, std::size_t frames)
{
    if (fileRate / hostRate == 1.0) return std::min(static_cast<std::size_t>(half), frames);
    const double wanted = std::ceil(half * (fileRate / hostRate)) + 3.0;
    return wanted < static_cast<double>(frames) ? static_cast<std::size_t>(wanted) : frames;
}

}  // namespace

bool read_external_ir(const char* path, double hostRate, int n, std::vector<double>& kept, double& fileRate,
                      std::string* reason)
{
    kept.clear();
    WavReader reader;
    if (!reader.open(path)) return refuse(reason, reader.error(), kept);
    return external_ir_from_reader(reader, hostRate, n, kept, fileRate, reason);
}

bool external_ir_from_reader(WavReader& reader, double hostRate, int n, std::vector<double>& kept,
                             double& fileRate, std::string* reason)
{
    kept.clear();
    if (!reader.valid()) return refuse(reason, *reader.error() ? reader.error() : "not a WAV file", kept);
    if (n < 2 || !std::isfinite(hostRate) || hostRate <= 0.0) return refuse(reason, "no cabinet at this rate", kept);
    const auto channels = static_cast<std::size_t>(reader.channels());
    const std::size_t frames = reader.total_samples() / channels;
    if (frames == 0) return refuse(reason, "no samples", kept);
    const int half = n / 2;
    fileRate = reader.sample_rate();
    const std::size_t need = samplesNeeded(half, fileRate, hostRate, frames);
    try {
        kept.reserve(need);
        const std::size_t perBlock = std::max<std::size_t>(1, kBlockSamples / channels);
        std::vector<double> block(perBlock * channels);
        reader.rewind();
        // The window starts at the first audible frame; the silence before it is read but not kept.
        for (std::size_t frame = 0; frame < frames && kept.size() < need;) {
            const std::size_t count = std::min(perBlock, frames - frame);
            if (reader.read_samples(block.data(), count * channels) != count * channels)
                return refuse(reason, reader.error(), kept);
            for (std::size_t k = 0; k < count && kept.size() < need; ++k) {
                const double s = block[k * channels];
                if (!kept.empty() || std::fabs(s) > kSilenceThreshold) kept.push_back(s);
            }
            frame += count;
        }
        if (fileRate / hostRate != 1.0 && kept.size() >= 2) {
            const int count = static_cast<int>(kept.size());
            const int length = std::min(resampled_length(count, hostRate, fileRate), half);
            kept = resample_ir(kept.data(), count, hostRate, fileRate, length);
        }
    } catch (const std::bad_alloc&) {
        return refuse(reason, "out of memory", kept);
    }
    return true;
}

}  // namespace cabinet
