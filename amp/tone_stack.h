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

// Contour-dependent level after the tone stack, before each plug-in's own scale factor.
constexpr double contourLevel(double c) noexcept { return 1.0298 * c - 0.1077 * c * c + 0.5225; }

// Bass pot taper: l = 10^(2*(Low - 1.001)).
double toneStackBassTaper(double low) noexcept;

struct ToneStack {
    ToneStackDesign design;
    // Controls last used for the coefficients; 10.0 is out of range, so the first call computes.
    double lastMid = 10.0, lastContour = 10.0, lastLow = 10.0, lastHigh = 10.0;
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, a1 = 0, a2 = 0, a3 = 0;
    double s1 = 0, s2 = 0, s3 = 0;

    // A large change of the controls while signal runs fades in (see change): the section it replaces keeps
    // playing, with its own state, for fadeLeft more samples. Controls that move meanwhile wait for the end.
    struct Outgoing {
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, a1 = 0, a2 = 0, a3 = 0;
        double s1 = 0, s2 = 0, s3 = 0;
        double level = 1;  // contourLevel of its Contour
    };
    Outgoing outgoing;
    int fadeLeft = 0;
    int fadeLength = 1;  // samples of a fade, about 3 ms at the design's rate
    double fadeStep = 1.0;
    // Where the controls stood when the state last had time to follow them: moves are measured from there,
    // so that many small steps in quick succession count as the large move they add up to.
    double anchorMid = 0, anchorContour = 0, anchorLow = 0, anchorHigh = 0;
    int sinceAnchor = 0;
    int anchorWindow = 1;  // samples, about 20 ms

    // Takes prepared constants, presets the control cache and clears the filter state.
    void setup(const ToneStackDesign& prepared) noexcept;
    void setup(double C1, double C2, double C3, double R1, double R2, double R3, double R4, double rate) noexcept;

    // Controls 0..1; coefficients are recomputed only when one of them moved. The caller scales the result
    // by contourLevel(contour) (and a constant of its own), which a fade takes into account.
    void process(double mid, double contour, double low, double high, double& sample) noexcept
    {
        if (fadeLeft == 0 && (mid != lastMid || contour != lastContour || low != lastLow || high != lastHigh))
            change(mid, contour, low, high);
        const double x = sample;
        double y = b0 * x + s1;
        s1 = b1 * x + s2 - a1 * y;
        s2 = b2 * x + s3 - a2 * y;
        s3 = b3 * x - a3 * y;
        if (fadeLeft > 0) y = fade(x, y, contour);
        if (sinceAnchor < anchorWindow) ++sinceAnchor;
        sample = y;
    }

    void updateCoefficients(double mid, double contour, double low, double high) noexcept;

    // Scales what the stack still holds (its ringing, and a fading section's) by r: a linear filter's tail
    // then leaves at r times the level it would have had.
    void scaleState(double r) noexcept
    {
        s1 *= r;
        s2 *= r;
        s3 *= r;
        outgoing.s1 *= r;
        outgoing.s2 *= r;
        outgoing.s3 *= r;
    }

private:
    // New coefficients under the old state ring in proportion to the move (Low from 0 to 1 overshoots the
    // louder setting by up to 1.9 times), so a section with signal in it whose controls moved far within
    // about 20 ms hands over to one that starts from rest. Smaller moves keep the state: a fresh section
    // takes a while to reach its bass, and automation that moves a little at every block would restart it
    // every time. Near Contour 0 with Mid at 0 the third pole leaves -1 so fast that a hair of Contour moves the
    // denominator as far as a large move does elsewhere (0.001 there moves it by up to 2.3, a move of 0.1
    // anywhere else by under 0.1), so a change that moves a denominator coefficient far fades as well. A section
    // at rest, or the first design, takes the new coefficients at once.
    void change(double mid, double contour, double low, double high) noexcept;
    static constexpr double kFadeAbove = 0.1;       // the largest move taken under the old state
    static constexpr double kFadePolesAbove = 1.0;  // the largest change of a1, a2 or a3 taken under it

    // Each section's output at the level its Contour calls for, brought to the level the caller applies now.
    double fade(double x, double y, double contour) noexcept
    {
        Outgoing& o = outgoing;
        const double old = o.b0 * x + o.s1;
        o.s1 = o.b1 * x + o.s2 - o.a1 * old;
        o.s2 = o.b2 * x + o.s3 - o.a2 * old;
        o.s3 = o.b3 * x - o.a3 * old;
        --fadeLeft;
        const double w = 1.0 - fadeLeft * fadeStep;
        return ((1.0 - w) * o.level * old + w * contourLevel(lastContour) * y) / contourLevel(contour);
    }
};

} // namespace amp
