// Passive treble/middle/bass network with a Contour control that scales R4: a third-order analog
// transfer function in closed form, bilinear-transformed (no prewarping), run in transposed DF-II.
#pragma once

namespace amp {

// Component values of the amp's network.
struct ToneStackComponents {
    double C1 = 4.7e-10, C2 = 2.2e-8, C3 = 2.2e-8;
    double R1 = 250000, R2 = 1000000, R3 = 25000, R4 = 94000;
};

// Everything a rate change prepares: the bilinear constant and its powers, and the constant
// component products of the analog coefficients (R4 unscaled; Contour multiplies it in later).
struct ToneStackDesign {
    double c = 0, c2 = 0, c3 = 0;
    double C1R1 = 0, C3R3 = 0, C1R2 = 0, C2R2 = 0, C1R3 = 0, C2R3 = 0, C2R4 = 0, C3R4 = 0;
    double C1C2R1R4 = 0, C1C3R1R4 = 0, C1C3R3R3 = 0, C2C3R3R3 = 0, C1C3R1R3 = 0, C1C2R1R2 = 0,
           C1C2R2R4 = 0, C1C3R2R4 = 0, C1C3R2R3 = 0, C2C3R2R3 = 0, C1C2R1R3 = 0, C1C2R3R4 = 0,
           C1C3R3R4 = 0, C2C3R3R4 = 0, C2C3R2R4 = 0;
    double C1C2C3R1R2R3 = 0, C1C2C3R2R3R4 = 0, C1C2C3R1R3R3 = 0, C1C2C3R3R3R4 = 0, C1C2C3R1R3R4 = 0,
           C1C2C3R1R2R4 = 0;
};

ToneStackDesign makeToneStackDesign(const ToneStackComponents& parts, double rate) noexcept;

// Bass pot taper: l = 10^(2*(Low - 1.001)).
double toneStackBassTaper(double low) noexcept;

struct ToneStack {
    ToneStackDesign design;
    // Controls last used for the coefficients; 10.0 is out of range, so the first call computes.
    double lastMid = 10.0, lastContour = 10.0, lastLow = 10.0, lastHigh = 10.0;
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, a1 = 0, a2 = 0, a3 = 0;
    double s1 = 0, s2 = 0, s3 = 0;

    // Takes prepared constants, presets the control cache and clears the filter state.
    void setup(const ToneStackDesign& prepared) noexcept;
    void setup(double C1, double C2, double C3, double R1, double R2, double R3, double R4, double rate) noexcept;

    // Controls 0..1; coefficients are recomputed only when one of them moved.
    void process(double mid, double contour, double low, double high, double& sample) noexcept
    {
        if (mid != lastMid || contour != lastContour || low != lastLow || high != lastHigh)
            updateCoefficients(mid, contour, low, high);
        const double x = sample;
        const double y = b0 * x + s1;
        s1 = b1 * x + s2 - a1 * y;
        s2 = b2 * x + s3 - a2 * y;
        s3 = b3 * x - a3 * y;
        sample = y;
    }

    void updateCoefficients(double mid, double contour, double low, double high) noexcept;
};

} // namespace amp
