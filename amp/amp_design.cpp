#include "amp/amp_design.h"

#include "amp/dc_blocker.h"
#include "amp/oversampling.h"

namespace amp {

AmpDesign makeAmpDesign(double hostRate, bool highQ) noexcept
{
    const int factor = oversamplingFactor(hostRate, highQ);
    const double rate = hostRate * factor;
    return makeAmpDesign(factor, 1.0 / rate, rate);
}

AmpDesign makeAmpDesign(int factor, double T, double oversampledRate) noexcept
{
    const double fs = oversampledRate;
    AmpDesign d;
    d.factor = factor;
    d.T = T;
    d.oversampledRate = fs;
    for (int n = 0; n < kGuardTableSize; ++n) d.guardSines[static_cast<std::size_t>(n)] = guardSine(n, T);

    d.peakCh2Bright = BiquadCoefficients::peak(4500, 0.7, 1.6, fs);
    d.lpCh2Pre = BiquadCoefficients::lowPass(2257, 0.85, fs);
    d.lpClean = BiquadCoefficients::lowPass(4800, 1.0, fs);
    d.lpCrunch = BiquadCoefficients::lowPass(4800, 0.85, fs);
    d.lpCh2Post = BiquadCoefficients::lowPass(4800, 0.85, fs);
    d.shelfCleanBright = BiquadCoefficients::lowShelf(720, 0.7, 0.5, fs);
    d.shelfCh2Pre = BiquadCoefficients::lowShelf(250, 0.7, 0.45, fs);
    d.shelfClean = BiquadCoefficients::lowShelf(600, 0.7, 0.25, fs);
    d.shelfCrunch = BiquadCoefficients::lowShelf(600, 0.7, 0.35, fs);
    d.shelfCrunchBright = BiquadCoefficients::lowShelf(720, 0.7, 0.5, fs);
    d.dcBlocker = DcBlocker::design(fs);

    d.toneStack = makeToneStackDesign(ToneStackComponents{}, fs);
    return d;
}

} // namespace amp
