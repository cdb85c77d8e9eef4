#include "cabinet/ir_file.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "cabinet/resample_ir.h"

namespace cabinet {
namespace {

constexpr double kSilenceThreshold = 0.01;

}  // namespace

bool read_external_ir(const char* path, double hostRate, int n, std::vector<double>& kept, double& fileRate)
{
    kept.clear();
    WavReader reader;
    if (!reader.read(path)) return false;
    return external_ir_from_reader(reader, hostRate, n, kept, fileRate);
}

bool external_ir_from_reader(WavReader& reader, double hostRate, int n, std::vector<double>& kept,
                             double& fileRate)
{
    kept.clear();
    if (!reader.valid() || n < 2 || !std::isfinite(hostRate) || hostRate <= 0.0) return false;
    const int channels = reader.channels();
    const int frames = reader.count() / channels;
    if (frames == 0) return false;
    const int half = n / 2;
    try {
        kept.reserve(static_cast<std::size_t>(half));
        const std::vector<double>& samples = reader.samples();
        int limit = std::min(frames, half);
        for (int k = 0; k < limit; ++k) {
            const double s = samples[static_cast<std::size_t>(k) * static_cast<std::size_t>(channels)];
            if (std::fabs(s) > kSilenceThreshold || !kept.empty()) {
                // The window of n/2 samples starts at the first audible one.
                if (kept.empty() && limit >= half) limit = std::min(limit + k, frames);
                kept.push_back(s);
            }
        }
        fileRate = reader.sample_rate();
        if (fileRate / hostRate != 1.0 && kept.size() >= 2) {
            const int count = static_cast<int>(kept.size());
            const double wanted = std::ceil(static_cast<double>(count - 1) / fileRate * hostRate);
            const int length = static_cast<int>(std::min(wanted, static_cast<double>(half)));
            // The length formula above and the resampler's own may differ in the last bit: keep what exists.
            std::vector<double> resampled = resample_ir(kept.data(), count, hostRate, fileRate, length);
            resampled.resize(std::min(resampled.size(), static_cast<std::size_t>(std::max(length, 0))));
            kept = std::move(resampled);
        }
    } catch (const std::bad_alloc&) {
        kept.clear();
        return false;
    }
    return true;
}

}  // namespace cabinet
