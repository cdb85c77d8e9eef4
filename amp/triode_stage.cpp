#include "amp/triode_stage.h"

#include <cmath>

namespace amp {

void TriodeStage::setup(double Rg_, double Rk_, double Ck_, double Bplus_, double Ra_, double Vp0, double R1_,
                        double R2_, double Cc_, double rate, const TriodeCurve& curve_) noexcept
{
    Rg = Rg_;
    Rk = Rk_;
    Ck = Ck_;
    Bplus = Bplus_;
    Ra = Ra_;
    R1 = R1_;
    R2 = R2_;
    Cc = Cc_;
    curve = curve_;

    // The 1e-20 terms keep every reciprocal finite when a resistance is zero.
    F = 0.00375 * Rg + 1e-20;
    invTwoF = 1.0 / (2.0 * F);
    invRg = 1.0 / (Rg + 1e-20);
    invRa = 1.0 / (Ra + 1e-20);
    setSampleRate(rate);

    // Resting point with the grid at 0 V: a fixed ten damped passes along the load line. Ip and Vk
    // keep the values of the last pass, computed before the plate's final update.
    Vp = Vp0;
    for (int pass = 0; pass < 10; ++pass) {
        Ip = (Bplus - Vp) / (Ra + 1e-20);
        Vk = Rk * Ip;
        Vp = Vp + ((curve.vpk(-Vk) + Vk) - Vp) * 0.5;
    }
    Vg = 0.0;
    Ig = 0.0;
    y = 0.0;
}

void TriodeStage::setup(const TriodeConfig& config, double rate) noexcept
{
    setup(config.Rg, config.Rk, config.Ck, config.Bplus, config.Ra, config.Vp0, config.R1, config.R2, config.Cc,
          rate, config.curve);
}

void TriodeStage::setSampleRate(double rate) noexcept
{
    const double T = 1.0 / rate;
    kCathode = T * Rk / (T + Rk * Ck);
    const double tau = (R1 + R2) * Cc;
    kCoupling = tau / (tau + T);
}

} // namespace amp
