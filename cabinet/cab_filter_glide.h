#pragma once
// A cabinet filter while its corner moves. New coefficients under a direct-form history ring: the history
// holds past outputs, and a high-pass brought down to 10 Hz extrapolates their slope for tens of
// milliseconds (up to twenty times the signal). The same response as a state-variable filter with
// trapezoidal integrators keeps states that mean the same at any corner (a low-pass and a band-pass
// signal), so the corner can glide under them. The glide takes over a CabFilter's history exactly and
// hands it back exactly: when nothing moves, the direct form runs as before.

#include <cmath>

#include "cabinet/cab_filter.h"

namespace cabinet {

struct CabFilterGlide {
    bool highPass = false;
    double g = 0.0;      // the corner now, prewarped
    double ratio = 1.0;  // per sample: the corner glides geometrically
    double gEnd = 0.0;
    int left = 0;        // samples until the glide arrives
    double ic1 = 0.0, ic2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;  // the last two inputs and outputs, to hand back

    static constexpr double kDamping = 1.0 / CabFilter::kQ;

    // One step at corner gc from states (a, b): returns the output and advances the states.
    static double step(double& a, double& b, double x, double gc, bool hp) noexcept
    {
        const double h1 = 1.0 / (1.0 + gc * (gc + kDamping));
        const double h2 = gc * h1;
        const double h3 = gc * h2;
        const double v3 = x - b;
        const double v1 = h1 * a + h2 * v3;
        const double v2 = b + h2 * a + h3 * v3;
        a = 2.0 * v1 - a;
        b = 2.0 * v2 - b;
        return hp ? x - kDamping * v1 - v2 : v2;
    }

    // Takes over f's history at its present corner and glides to the corner for `to` over n samples.
    void begin(const CabFilter& f, double to, double fs, int n) noexcept
    {
        highPass = f.kind == CabFilter::Kind::HighPass;
        g = CabFilter::warped(f.designFrequency, fs);
        gEnd = CabFilter::warped(to, fs);
        ratio = std::pow(gEnd / g, 1.0 / n);
        left = n;
        x1 = f.x1;
        x2 = f.x2;
        y1 = f.y1;
        y2 = f.y2;
        // The states two samples ago that give the outputs y2, y1 from the inputs x2, x1: everything is
        // linear in them, so the two responses to unit states and the one to the inputs alone decide.
        const auto run = [&](double a, double b, double in2, double in1, double& out2, double& out1) {
            out2 = step(a, b, in2, g, highPass);
            out1 = step(a, b, in1, g, highPass);
            ic1 = a;
            ic2 = b;
        };
        double p2, p1, q2, q1, r2, r1;
        run(1.0, 0.0, 0.0, 0.0, p2, p1);
        const double pa = ic1, pb = ic2;
        run(0.0, 1.0, 0.0, 0.0, q2, q1);
        const double qa = ic1, qb = ic2;
        run(0.0, 0.0, x2, x1, r2, r1);
        const double det = p2 * q1 - q2 * p1;
        const double e2 = y2 - r2, e1 = y1 - r1;
        const double a = (e2 * q1 - q2 * e1) / det;
        const double b = (p2 * e1 - e2 * p1) / det;
        ic1 += a * pa + b * qa;
        ic2 += a * pb + b * qb;
        // A corner at the edge of the design range could leave the system singular: then start from rest.
        if (!std::isfinite(ic1) || !std::isfinite(ic2)) ic1 = ic2 = 0.0;
    }

    double process(double x) noexcept
    {
        if (left > 0) {
            g = --left == 0 ? gEnd : g * ratio;
        }
        const double y = step(ic1, ic2, x, g, highPass);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // f designed for `to`, continuing from this history: the same filter from here on.
    void end(CabFilter& f, double to, double fs) const noexcept
    {
        f.design(to, fs);
        f.x1 = x1;
        f.x2 = x2;
        f.y1 = y1;
        f.y2 = y2;
    }
};

}  // namespace cabinet
