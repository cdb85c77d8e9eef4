#include "amp/tone_stack.h"

#include <algorithm>
#include <cmath>

namespace amp {

ToneStackDesign makeToneStackDesign(const ToneStackComponents& p, double rate) noexcept
{
    const double C1 = p.C1, C2 = p.C2, C3 = p.C3, R1 = p.R1, R2 = p.R2, R3 = p.R3, R4 = p.R4;
    ToneStackDesign d;
    d.c = 2.0 * rate;
    d.c2 = d.c * d.c;
    d.c3 = d.c2 * d.c;

    d.C1R1 = C1 * R1;
    d.C3R3 = C3 * R3;
    d.C1R2 = C1 * R2;
    d.C2R2 = C2 * R2;
    d.C1R3 = C1 * R3;
    d.C2R3 = C2 * R3;
    d.C2R4 = C2 * R4;
    d.C3R4 = C3 * R4;

    d.C1C2R1R4 = C1 * C2 * R1 * R4;
    d.C1C3R1R4 = C1 * C3 * R1 * R4;
    d.C1C3R3R3 = C1 * C3 * R3 * R3;
    d.C2C3R3R3 = C2 * C3 * R3 * R3;
    d.C1C3R1R3 = C1 * C3 * R1 * R3;
    d.C1C2R1R2 = C1 * C2 * R1 * R2;
    d.C1C2R2R4 = C1 * C2 * R2 * R4;
    d.C1C3R2R4 = C1 * C3 * R2 * R4;
    d.C1C3R2R3 = C1 * C3 * R2 * R3;
    d.C2C3R2R3 = C2 * C3 * R2 * R3;
    d.C1C2R1R3 = C1 * C2 * R1 * R3;
    d.C1C2R3R4 = C1 * C2 * R3 * R4;
    d.C1C3R3R4 = C1 * C3 * R3 * R4;
    d.C2C3R3R4 = C2 * C3 * R3 * R4;
    d.C2C3R2R4 = C2 * C3 * R2 * R4;

    d.C1C2C3R1R2R3 = C1 * C2 * C3 * R1 * R2 * R3;
    d.C1C2C3R2R3R4 = C1 * C2 * C3 * R2 * R3 * R4;
    d.C1C2C3R1R3R3 = C1 * C2 * C3 * R1 * R3 * R3;
    d.C1C2C3R3R3R4 = C1 * C2 * C3 * R3 * R3 * R4;
    d.C1C2C3R1R3R4 = C1 * C2 * C3 * R1 * R3 * R4;
    d.C1C2C3R1R2R4 = C1 * C2 * C3 * R1 * R2 * R4;
    return d;
}

double toneStackBassTaper(double low) noexcept { return std::pow(10.0, 2.0 * (low - 1.001)); }

void ToneStack::setup(const ToneStackDesign& prepared) noexcept
{
    design = prepared;
    lastMid = lastContour = lastLow = lastHigh = 10.0;
    s1 = s2 = s3 = 0.0;
    fadeLeft = 0;
    // c is twice the rate; a fade of about 3 ms.
    fadeLength = std::max(1, static_cast<int>(0.0015 * design.c));
    fadeStep = 1.0 / fadeLength;
    anchorWindow = std::max(1, static_cast<int>(0.01 * design.c));
    sinceAnchor = 0;
}

void ToneStack::change(double mid, double contour, double low, double high) noexcept
{
    const bool designed = lastMid != 10.0;
    if (!designed || sinceAnchor >= anchorWindow) {
        anchorMid = designed ? lastMid : mid;
        anchorContour = designed ? lastContour : contour;
        anchorLow = designed ? lastLow : low;
        anchorHigh = designed ? lastHigh : high;
        sinceAnchor = 0;
    }
    const double moved = std::max({std::fabs(mid - anchorMid), std::fabs(contour - anchorContour),
                                   std::fabs(low - anchorLow), std::fabs(high - anchorHigh)});
    const Outgoing old{b0, b1, b2, b3, a1, a2, a3, s1, s2, s3, contourLevel(lastContour)};
    updateCoefficients(mid, contour, low, high);
    const double polesMoved = std::max({std::fabs(a1 - old.a1), std::fabs(a2 - old.a2), std::fabs(a3 - old.a3)});
    if (designed && (moved > kFadeAbove || polesMoved > kFadePolesAbove) && (s1 != 0.0 || s2 != 0.0 || s3 != 0.0)) {
        outgoing = old;
        s1 = s2 = s3 = 0.0;
        fadeLeft = fadeLength;
        anchorMid = mid;
        anchorContour = contour;
        anchorLow = low;
        anchorHigh = high;
        sinceAnchor = 0;
    }
}

void ToneStack::setup(double C1, double C2, double C3, double R1, double R2, double R3, double R4,
                      double rate) noexcept
{
    setup(makeToneStackDesign(ToneStackComponents{C1, C2, C3, R1, R2, R3, R4}, rate));
}

void ToneStack::updateCoefficients(double mid, double contour, double low, double high) noexcept
{
    lastMid = mid;
    lastContour = contour;
    lastLow = low;
    lastHigh = high;

    const ToneStackDesign& d = design;
    const double t = high;
    const double m = mid;
    const double l = toneStackBassTaper(low);
    const double k = contour; // every product with R4 in it becomes one with R4' = Contour*R4

    const double C2R4 = d.C2R4 * k, C3R4 = d.C3R4 * k;
    const double C1C2R1R4 = d.C1C2R1R4 * k, C1C3R1R4 = d.C1C3R1R4 * k, C1C2R2R4 = d.C1C2R2R4 * k,
                 C1C3R2R4 = d.C1C3R2R4 * k, C1C2R3R4 = d.C1C2R3R4 * k, C1C3R3R4 = d.C1C3R3R4 * k,
                 C2C3R3R4 = d.C2C3R3R4 * k, C2C3R2R4 = d.C2C3R2R4 * k;
    const double C1C2C3R2R3R4 = d.C1C2C3R2R3R4 * k, C1C2C3R3R3R4 = d.C1C2C3R3R3R4 * k,
                 C1C2C3R1R3R4 = d.C1C2C3R1R3R4 * k, C1C2C3R1R2R4 = d.C1C2C3R1R2R4 * k;

    const double nb1 = t * d.C1R1 + m * d.C3R3 + l * (d.C1R2 + d.C2R2) + (d.C1R3 + d.C2R3);

    const double nb2 = t * (C1C2R1R4 + C1C3R1R4) - m * m * (d.C1C3R3R3 + d.C2C3R3R3)
                       + m * (d.C1C3R1R3 + d.C1C3R3R3 + d.C2C3R3R3) + l * (d.C1C2R1R2 + C1C2R2R4 + C1C3R2R4)
                       + l * m * (d.C1C3R2R3 + d.C2C3R2R3) + (d.C1C2R1R3 + C1C2R3R4 + C1C3R3R4);

    const double nb3 = l * m * (d.C1C2C3R1R2R3 + C1C2C3R2R3R4) - m * m * (d.C1C2C3R1R3R3 + C1C2C3R3R3R4)
                       + m * (d.C1C2C3R1R3R3 + C1C2C3R3R3R4) + t * C1C2C3R1R3R4 - t * m * C1C2C3R1R3R4
                       + t * l * C1C2C3R1R2R4;

    const double na1 = (d.C1R1 + d.C1R3 + d.C2R3 + C2R4 + C3R4) + m * d.C3R3 + l * (d.C1R2 + d.C2R2);

    const double na2 = m * (d.C1C3R1R3 - C2C3R3R4 + d.C1C3R3R3 + d.C2C3R3R3) + l * m * (d.C1C3R2R3 + d.C2C3R2R3)
                       - m * m * (d.C1C3R3R3 + d.C2C3R3R3) + l * (C1C2R2R4 + d.C1C2R1R2 + C1C3R2R4 + C2C3R2R4)
                       + (C1C2R1R4 + C1C3R1R4 + C1C2R3R4 + d.C1C2R1R3 + C1C3R3R4 + C2C3R3R4);

    const double na3 = l * m * (d.C1C2C3R1R2R3 + C1C2C3R2R3R4) - m * m * (d.C1C2C3R1R3R3 + C1C2C3R3R3R4)
                       + m * (C1C2C3R3R3R4 + d.C1C2C3R1R3R3 - C1C2C3R1R3R4) + l * C1C2C3R1R2R4 + C1C2C3R1R3R4;

    const double c = d.c, c2 = d.c2, c3 = d.c3;
    const double A0 = -1.0 - na1 * c - na2 * c2 - na3 * c3;
    const double A1 = -3.0 - na1 * c + na2 * c2 + 3.0 * na3 * c3;
    const double A2 = -3.0 + na1 * c + na2 * c2 - 3.0 * na3 * c3;
    const double A3 = -1.0 + na1 * c - na2 * c2 + na3 * c3;
    const double B0 = -nb1 * c - nb2 * c2 - nb3 * c3;
    const double B1 = -nb1 * c + nb2 * c2 + 3.0 * nb3 * c3;
    const double B2 = nb1 * c + nb2 * c2 - 3.0 * nb3 * c3;
    const double B3 = nb1 * c - nb2 * c2 + nb3 * c3;

    const double invA0 = 1.0 / A0;
    b0 = B0 * invA0;
    b1 = B1 * invA0;
    b2 = B2 * invA0;
    b3 = B3 * invA0;
    a1 = A1 * invA0;
    a2 = A2 * invA0;
    a3 = A3 * invA0;
}

} // namespace amp
