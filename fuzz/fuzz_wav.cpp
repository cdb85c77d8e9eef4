// Feeds arbitrary bytes to the WAV reader and, when they parse, through the external impulse-response steps
// and the spectrum preparation, at both transform lengths.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cabinet/ir_file.h"
#include "cabinet/prepare_ir_spectrum.h"
#include "cabinet/real_fft.h"
#include "cabinet/wav_reader.h"

namespace {

cabinet::RealFftPair& ffts()
{
    static cabinet::RealFftPair pair;
    return pair;
}

void check(bool ok)
{
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    cabinet::WavReader reader;
    if (!reader.read_from_memory(data, size)) {
        check(reader.count() == 0 && !reader.valid() && *reader.error() != '\0');
        return 0;
    }
    check(reader.channels() > 0 && reader.sample_rate() > 0.0);
    for (double s : reader.samples()) check(std::isfinite(s));

    struct Host {
        double rate;
        int n;
    };
    for (const Host host : {Host{44100.0, 2048}, Host{96000.0, 4096}}) {
        std::vector<double> kept;
        double fileRate = 0.0;
        if (!cabinet::external_ir_from_reader(reader, host.rate, host.n, kept, fileRate)) continue;
        check(kept.size() <= static_cast<std::size_t>(host.n / 2));
        std::vector<double> time(static_cast<std::size_t>(host.n), 0.0), m(time.size()), t(time.size()),
            out(time.size());
        for (std::size_t i = 0; i < kept.size(); ++i) time[i] = kept[i];
        cabinet::prepare_ir_spectrum(*ffts().pick(host.n), time.data(), host.rate,
                                     cabinet::HighBandRule::From10kCab1, m.data(), t.data(), out.data());
        for (double v : out) check(std::isfinite(v));
    }
    return 0;
}
