#include "host/plot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "host/host_error.h"

namespace vsthost {
namespace {

constexpr int kWidth = 1400;
constexpr int kHeight = 900;
constexpr double kMargin = 70.0;
constexpr double kFloorDb = -120.0;
constexpr std::size_t kSpectrumSize = 8192;

struct Colour {
    double r, g, b;
};
constexpr Colour kInputColour{0.45, 0.45, 0.45};
constexpr Colour kOutputColours[] = {{0.85, 0.33, 0.10}, {0.00, 0.45, 0.74}};

void fft(std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(x[i], x[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const auto a = x[i + k];
                const auto b = x[i + k + len / 2] * w;
                x[i + k] = a + b;
                x[i + k + len / 2] = a - b;
            }
        }
    }
}

struct Box {
    double x, y, w, h;
};

void setColour(cairo_t* cr, Colour c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void label(cairo_t* cr, double x, double y, const std::string& text, double size = 13.0) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

void frame(cairo_t* cr, const Box& box, const std::string& title) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    label(cr, box.x, box.y - 6, title);
}

// A min/max envelope per pixel column, amplitude -1..1 over the box height.
void waveform(cairo_t* cr, const Box& box, const std::vector<float>& signal, Colour colour) {
    if (signal.empty()) return;
    setColour(cr, colour, 0.8);
    cairo_set_line_width(cr, 1.0);
    const auto columns = static_cast<std::size_t>(box.w);
    for (std::size_t col = 0; col < columns; ++col) {
        const std::size_t from = col * signal.size() / columns;
        const std::size_t to = std::max(from + 1, (col + 1) * signal.size() / columns);
        float lo = 1.0f, hi = -1.0f;
        for (std::size_t i = from; i < std::min(to, signal.size()); ++i) {
            const float v = std::isfinite(signal[i]) ? std::clamp(signal[i], -1.0f, 1.0f) : 0.0f;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const double x = box.x + static_cast<double>(col) + 0.5;
        cairo_move_to(cr, x, box.y + box.h * 0.5 * (1.0 - hi));
        cairo_line_to(cr, x, box.y + box.h * 0.5 * (1.0 - lo) + 0.5);
    }
    cairo_stroke(cr);
}

double logX(const Box& box, double hz, double top) {
    return box.x + box.w * std::log(hz / 20.0) / std::log(top / 20.0);
}

void spectrum(cairo_t* cr, const Box& box, const std::vector<double>& bins, double rate, Colour colour) {
    const double top = rate / 2.0;
    const double binHz = rate / static_cast<double>(kSpectrumSize);
    setColour(cr, colour);
    cairo_set_line_width(cr, 1.3);
    bool started = false;
    for (int col = 0; col <= static_cast<int>(box.w); ++col) {
        const double f0 = 20.0 * std::pow(top / 20.0, col / box.w);
        const double f1 = 20.0 * std::pow(top / 20.0, (col + 1) / box.w);
        auto lo = static_cast<std::size_t>(f0 / binHz);
        auto hi = std::max(lo + 1, static_cast<std::size_t>(f1 / binHz));
        double peak = 0.0;
        for (std::size_t k = lo; k < std::min(hi, bins.size()); ++k) peak = std::max(peak, bins[k]);
        const double db = peak > 0.0 ? std::max(kFloorDb, 20.0 * std::log10(peak)) : kFloorDb;
        const double y = box.y + box.h * (db / kFloorDb);
        if (started)
            cairo_line_to(cr, box.x + col, y);
        else
            cairo_move_to(cr, box.x + col, y);
        started = true;
    }
    cairo_stroke(cr);
}

void spectrumGrid(cairo_t* cr, const Box& box, double rate) {
    const double top = rate / 2.0;
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_set_line_width(cr, 1.0);
    const double ticks[] = {50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    for (double hz : ticks) {
        if (hz >= top) continue;
        const double x = logX(box, hz, top);
        cairo_move_to(cr, x, box.y);
        cairo_line_to(cr, x, box.y + box.h);
    }
    for (double db = -20.0; db > kFloorDb; db -= 20.0) {
        const double y = box.y + box.h * (db / kFloorDb);
        cairo_move_to(cr, box.x, y);
        cairo_line_to(cr, box.x + box.w, y);
    }
    cairo_stroke(cr);
    for (double hz : ticks) {
        if (hz >= top) continue;
        char text[16];
        std::snprintf(text, sizeof text, hz >= 1000 ? "%gk" : "%g", hz >= 1000 ? hz / 1000 : hz);
        label(cr, logX(box, hz, top) - 10, box.y + box.h + 16, text, 11);
    }
    for (double db = 0.0; db >= kFloorDb; db -= 20.0) {
        char text[16];
        std::snprintf(text, sizeof text, "%g dB", db);
        label(cr, box.x - 52, box.y + box.h * (db / kFloorDb) + 4, text, 11);
    }
    label(cr, box.x + box.w - 60, box.y + box.h + 32, "frequency (Hz)", 11);
}

}  // namespace

std::vector<double> magnitudeSpectrum(const std::vector<float>& signal, std::size_t size) {
    std::vector<double> power(size / 2 + 1, 0.0);
    std::vector<double> window(size);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < size; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(size));
        windowSum += window[i];
    }
    std::vector<std::complex<double>> buffer(size);
    std::size_t frames = 0;
    for (std::size_t start = 0; start < std::max<std::size_t>(signal.size(), 1); start += size / 2) {
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t at = start + i;
            const double v = at < signal.size() && std::isfinite(signal[at]) ? signal[at] : 0.0;
            buffer[i] = v * window[i];
        }
        fft(buffer);
        for (std::size_t k = 0; k < power.size(); ++k) power[k] += std::norm(buffer[k]);
        ++frames;
        if (start + size >= signal.size()) break;
    }
    for (double& p : power) p = 2.0 * std::sqrt(p / static_cast<double>(frames)) / windowSum;
    return power;
}

void plotComparison(const std::string& path, const std::string& title, const std::vector<float>& input,
                    const std::vector<std::vector<float>>& outputs, double rate) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.96, 0.96, 0.95);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    label(cr, kMargin, 30, title, 18);

    const double w = kWidth - 2 * kMargin;
    const Box inBox{kMargin, 70, w, 170};
    const Box outBox{kMargin, 280, w, 170};
    const Box spectrumBox{kMargin, 500, w, 340};
    frame(cr, inBox, "input (DI)");
    waveform(cr, inBox, input, kInputColour);
    frame(cr, outBox, outputs.size() > 1 ? "output (left orange, right blue)" : "output");
    for (std::size_t c = 0; c < outputs.size() && c < 2; ++c) waveform(cr, outBox, outputs[c], kOutputColours[c]);
    frame(cr, spectrumBox, "magnitude spectrum, dB full scale (input grey, output left orange, right blue)");
    spectrumGrid(cr, spectrumBox, rate);
    spectrum(cr, spectrumBox, magnitudeSpectrum(input, kSpectrumSize), rate, kInputColour);
    for (std::size_t c = 0; c < outputs.size() && c < 2; ++c)
        spectrum(cr, spectrumBox, magnitudeSpectrum(outputs[c], kSpectrumSize), rate, kOutputColours[c]);

    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) throw HostError("cannot write " + path + ": " + cairo_status_to_string(status));
}

}  // namespace vsthost
