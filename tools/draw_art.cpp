// Draws the editors' bitmaps with cairo and writes them as PNG files into the folder given on the command
// line: the two amp panels (backgrounds), the knob film strip and the two-frame switches and buttons.
// Label positions come from the editors' own layout tables, so the names always sit under their controls.
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "editor/editor_layout.h"
#include "preamp/preamp_editor_layout.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kKnobFrames = 63;
constexpr int kKnobSize = 56;
// The pointer turns through 270 degrees, from down-left at 0 to down-right at 1.
constexpr double kKnobSweep = 270.0;

struct Rgb {
    double r, g, b;
};

constexpr Rgb hex(uint32_t v) {
    return {((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}

constexpr Rgb kGoldLight = hex(0xe9d08a);
constexpr Rgb kGoldDark = hex(0xb08e45);
constexpr Rgb kInk = hex(0x1d150b);
constexpr Rgb kSteelLight = hex(0x4a4d52);
constexpr Rgb kSteelDark = hex(0x26282c);
constexpr Rgb kPiping = hex(0xd8c79a);
constexpr Rgb kSilkscreen = hex(0xf0ece0);

void color(cairo_t* cr, Rgb c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

// A deterministic generator, so that every run draws the same pixels.
struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
    }
};

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

enum class Align { Left, Center, Right };

void text(cairo_t* cr, const std::string& s, double x, double y, double size, Rgb ink, Align align = Align::Center,
          bool bold = true, const char* family = "DejaVu Sans Condensed") {
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    double left = x;
    if (align == Align::Center) left = x - e.x_advance / 2;
    if (align == Align::Right) left = x - e.x_advance;
    // y is the middle of the capitals.
    const double baseline = y + size * 0.36;
    cairo_move_to(cr, left, baseline);
    color(cr, ink);
    cairo_show_text(cr, s.c_str());
}

// Engraved text on a light plate: dark ink with a faint highlight under it.
void engraved(cairo_t* cr, const std::string& s, double x, double y, double size, Align align = Align::Center) {
    text(cr, s, x, y + 0.7, size, hex(0xfff6d0), align);
    text(cr, s, x, y, size, kInk, align);
}

void screw(cairo_t* cr, double x, double y) {
    cairo_pattern_t* p = cairo_pattern_create_radial(x - 1.2, y - 1.2, 0.5, x, y, 4.2);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.95, 0.95, 0.93);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.42, 0.42, 0.40);
    cairo_arc(cr, x, y, 4, 0, 2 * kPi);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_move_to(cr, x - 2.8, y + 1.2);
    cairo_line_to(cr, x + 2.8, y - 1.2);
    cairo_set_line_width(cr, 1.1);
    cairo_stroke(cr);
}

// Black vinyl covering with a fine leather grain.
void tolex(cairo_t* cr, cairo_surface_t* surface, int w, int h) {
    cairo_set_source_rgb(cr, 0.075, 0.072, 0.07);
    cairo_paint(cr);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    Noise noise{12345};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            const int grain = static_cast<int>(noise.next() * 14.0) - 5 + (((x * 7 + y * 13) % 17) == 0 ? 6 : 0);
            const int v = 19 + grain;
            row[x] = 0xff000000u | (uint32_t(v) << 16) | (uint32_t(v) << 8) | uint32_t(v);
        }
    }
    cairo_surface_mark_dirty(surface);
}

void piping(cairo_t* cr, double x, double y, double w, double h, double r) {
    roundedRect(cr, x, y, w, h, r);
    color(cr, kPiping, 0.9);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
}

// Brushed metal: a base gradient with fine horizontal streaks, a bevel and screws in the corners.
void plate(cairo_t* cr, double x, double y, double w, double h, Rgb light, Rgb dark, uint32_t seed) {
    cairo_save(cr);
    // Shadow on the covering.
    roundedRect(cr, x + 1, y + 2, w, h, 5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    roundedRect(cr, x, y, w, h, 5);
    cairo_clip_preserve(cr);
    cairo_pattern_t* base = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(base, 0, light.r, light.g, light.b);
    cairo_pattern_add_color_stop_rgb(base, 1, dark.r, dark.g, dark.b);
    cairo_set_source(cr, base);
    cairo_fill(cr);
    cairo_pattern_destroy(base);
    Noise noise{seed};
    cairo_set_line_width(cr, 1.0);
    for (double line = y + 0.5; line < y + h; line += 1.0) {
        for (int k = 0; k < 3; ++k) {
            const double start = x + noise.next() * w;
            const double length = 20 + noise.next() * 160;
            const bool bright = noise.next() > 0.5;
            cairo_set_source_rgba(cr, bright ? 1 : 0, bright ? 1 : 0, bright ? 1 : 0, 0.03 + noise.next() * 0.05);
            cairo_move_to(cr, start, line);
            cairo_line_to(cr, start + length, line);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
    // Bevel: light above and left, dark below and right.
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, x + 1.5, y + 1.5, w - 2, h - 2, 4.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    for (double sx : {x + 8.0, x + w - 8.0})
        for (double sy : {y + 8.0, y + h - 8.0}) screw(cr, sx, sy);
}

// Woven speaker cloth, as on the front of an amp head.
void grilleCloth(cairo_t* cr, double x, double y, double w, double h) {
    cairo_save(cr);
    roundedRect(cr, x, y, w, h, 6);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0.16, 0.13, 0.09);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1.3);
    for (double d = -h; d < w + h; d += 3.0) {
        cairo_move_to(cr, x + d, y);
        cairo_line_to(cr, x + d + h, y + h);
        cairo_set_source_rgba(cr, 0.62, 0.53, 0.36, 0.55);
        cairo_stroke(cr);
        cairo_move_to(cr, x + d + h, y);
        cairo_line_to(cr, x + d, y + h);
        cairo_set_source_rgba(cr, 0.45, 0.38, 0.25, 0.45);
        cairo_stroke(cr);
    }
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.45);
    cairo_pattern_add_color_stop_rgba(shade, 0.3, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0.35);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
    cairo_restore(cr);
    roundedRect(cr, x, y, w, h, 6);
    color(cr, kPiping, 0.85);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
}

// The maker's script logo with a raised gold face.
void logo(cairo_t* cr, const char* word, double cx, double baseline, double size, const char* subtitle) {
    cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, word, &e);
    const double left = cx - e.x_advance / 2;
    cairo_move_to(cr, left + 1.5, baseline + 2);
    cairo_text_path(cr, word);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_fill(cr);
    cairo_move_to(cr, left, baseline);
    cairo_text_path(cr, word);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, baseline - size, 0, baseline);
    cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.95, 0.75);
    cairo_pattern_add_color_stop_rgb(gold, 0.55, 0.86, 0.70, 0.36);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.62, 0.46, 0.18);
    cairo_set_source(cr, gold);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gold);
    cairo_set_source_rgba(cr, 0.25, 0.17, 0.05, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    if (subtitle) text(cr, subtitle, cx, baseline + 14, 10, kGoldLight, Align::Center, true, "DejaVu Sans");
}

// The scale printed around a knob: eleven ticks over the pointer's travel, longer at 0, 5 and 10.
void knobScale(cairo_t* cr, double cx, double cy, Rgb ink, double alpha) {
    for (int k = 0; k <= 10; ++k) {
        const double angle = (-kKnobSweep / 2 + kKnobSweep * k / 10.0) * kPi / 180.0;
        const double inner = (k % 5 == 0) ? 19.5 : 20.5;
        const double s = std::sin(angle), c = -std::cos(angle);
        cairo_move_to(cr, cx + inner * s, cy + inner * c);
        cairo_line_to(cr, cx + 23.0 * s, cy + 23.0 * c);
    }
    color(cr, ink, alpha);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A recessed window for a text label.
void displayWindow(cairo_t* cr, const CRect& r) {
    roundedRect(cr, r.left - 3, r.top - 3, r.width() + 6, r.height() + 6, 3);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_fill(cr);
    roundedRect(cr, r.left - 2.5, r.top - 2.5, r.width() + 5, r.height() + 5, 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.2);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

const CControlRow& row(const CControlRow* rows, std::size_t count, int32_t tag) {
    for (std::size_t i = 0; i < count; ++i)
        if (rows[i].tag == tag) return rows[i];
    std::fprintf(stderr, "draw_art: no control with tag %d\n", tag);
    return rows[0];
}

double knobCentreX(const CControlRow& r) { return r.left + kKnobSize / 2.0; }
double knobCentreY(const CControlRow& r) { return r.top + kKnobSize / 2.0; }

bool save(cairo_surface_t* surface, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    if (!ok) std::fprintf(stderr, "draw_art: cannot write %s\n", path.c_str());
    cairo_surface_destroy(surface);
    return ok;
}

// ---- The amp panels -----------------------------------------------------------------------------------

// What is printed on the gold amp panel of either plug-in: knob names and scales, the channel switch,
// the two small toggles and the bright light.
struct AmpLabels {
    const CControlRow* rows;
    std::size_t count;
    double nameY;  // middle of the knob names
};

void ampPanelText(cairo_t* cr, const AmpLabels& a, bool hasPowerAmp) {
    struct Name {
        int32_t tag;
        const char* text;
    };
    const Name knobs[] = {{0, "INPUT"}, {5, "DRIVE 1"}, {6, "DRIVE 2"}, {10, "CONTOUR"}, {7, "LOW"},
                          {8, "MID"},   {9, "HIGH"},    {11, hasPowerAmp ? "POWER" : "VOLUME"},
                          {12, "VOLUME"}};
    for (const Name& n : knobs) {
        if (!hasPowerAmp && n.tag == 12) continue;
        const CControlRow& r = row(a.rows, a.count, n.tag);
        knobScale(cr, knobCentreX(r), knobCentreY(r), kInk, 0.85);
        // "Power Amp" stands close to Volume: its name takes two lines.
        const bool twoLines = hasPowerAmp && n.tag == 11;
        engraved(cr, n.text, knobCentreX(r), a.nameY - (twoLines ? 4.5 : 0), 8.5);
        if (twoLines) engraved(cr, "AMP", knobCentreX(r), a.nameY + 4.5, 8.5);
    }
    const CControlRow& channel = row(a.rows, a.count, 1);
    const double cx = channel.left + 17.5;
    engraved(cr, "1", channel.left + 36, channel.top + 14, 8.5, Align::Left);
    engraved(cr, "2", channel.left + 36, channel.top + 46, 8.5, Align::Left);
    engraved(cr, "CHANNEL", cx + 9, a.nameY, 8.5);
    const CControlRow& crunch = row(a.rows, a.count, 2);
    engraved(cr, "CRUNCH", crunch.left + 16, crunch.top + 6, 7.5, Align::Left);
    engraved(cr, "CLEAN", crunch.left + 16, crunch.top + 21, 7.5, Align::Left);
    const CControlRow& boost = row(a.rows, a.count, 3);
    engraved(cr, "BOOST", boost.left + 16, boost.top + 6, 7.5, Align::Left);
    engraved(cr, "OFF", boost.left + 16, boost.top + 21, 7.5, Align::Left);
    const CControlRow& bright = row(a.rows, a.count, 4);
    engraved(cr, "BRIGHT", bright.left + 4, bright.top - 8, 7.5);
    // A bezel round the little light.
    cairo_arc(cr, bright.left + 4, bright.top + 4, 6, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0.2, 0.15, 0.05, 0.8);
    cairo_fill(cr);
}

cairo_surface_t* fullStackBackground() {
    using namespace tavik;
    const int w = kEditorWidth, h = kEditorHeight;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    tolex(cr, s, w, h);
    piping(cr, 4, 4, w - 8, h - 8, 10);
    const CControlRow* rows = kEditorControls;
    const std::size_t count = std::size(kEditorControls);

    // Head top: the two slide switches on a dark plate.
    plate(cr, 12, 11, w - 24, 49, kSteelLight, kSteelDark, 7);
    const CControlRow& quality = row(rows, count, 14);
    text(cr, "LOW Q", quality.left - 6, quality.top + 13.5, 9, kSilkscreen, Align::Right);
    text(cr, "HIGH Q", quality.left + 56, quality.top + 13.5, 9, kSilkscreen, Align::Left);
    text(cr, "QUALITY", quality.left - 60, quality.top + 13.5, 9, hex(0x9a9ea6), Align::Right);
    const CControlRow& link = row(rows, count, 29);
    text(cr, "OFF", link.left - 6, link.top + 13.5, 9, kSilkscreen, Align::Right);
    text(cr, "LINK", link.left + 56, link.top + 13.5, 9, kSilkscreen, Align::Left);
    text(cr, "STEREO LINK", link.left - 36, link.top + 13.5, 9, hex(0x9a9ea6), Align::Right);
    text(cr, "MIRAD PLUGINS", 32, 35, 8, hex(0x9a9ea6), Align::Left, true, "DejaVu Sans");

    // Head front: cloth and the logo.
    grilleCloth(cr, 12, 66, w - 24, 76);
    logo(cr, "Tavik", w / 2.0, 112, 40, "F U L L   S T A C K");

    // The amp's control panel.
    plate(cr, 12, 149, w - 24, 96, kGoldLight, kGoldDark, 11);
    ampPanelText(cr, AmpLabels{rows, count, 234}, true);

    // The two cabinets, each on its own plate with a gap of covering between them.
    for (int c = 0; c < 2; ++c) {
        const double left = c == 0 ? 12 : 337;
        const double right = c == 0 ? 323 : 648;
        plate(cr, left, 253, right - left, 152, kSteelLight, kSteelDark, 21 + static_cast<uint32_t>(c));
        text(cr, c == 0 ? "CABINET 1" : "CABINET 2", left + 16, 272, 11, kSilkscreen, Align::Left, true,
             "DejaVu Sans");
        const CControlRow& source = row(rows, count, c == 0 ? 32 : 33);
        text(cr, "INT", source.left - 5, source.top + 13.5, 8.5, kSilkscreen, Align::Right);
        text(cr, "EXT", source.left + 55, source.top + 13.5, 8.5, kSilkscreen, Align::Left);
        const CControlRow& phase = row(rows, count, c == 0 ? 15 : 16);
        text(cr, "PHASE", phase.left + 9, phase.top - 7, 7.5, kSilkscreen);
        displayWindow(cr, kIrLabelRect[c]);
        struct Name {
            int32_t tag;
            const char* text;
        };
        const Name knobs[] = {{c == 0 ? 30 : 31, "DELAY"}, {c == 0 ? 23 : 24, "LOW CUT"},
                              {c == 0 ? 25 : 26, "HIGH CUT"}, {c == 0 ? 19 : 20, "PAN"},
                              {c == 0 ? 17 : 18, "VOLUME"}};
        for (const Name& n : knobs) {
            const CControlRow& r = row(rows, count, n.tag);
            knobScale(cr, knobCentreX(r), knobCentreY(r), kSilkscreen, 0.8);
            text(cr, n.text, knobCentreX(r), 389, 8.5, kSilkscreen);
        }
    }
    cairo_destroy(cr);
    return s;
}

cairo_surface_t* preampBackground() {
    using namespace tavik_preamp;
    const int w = kEditorWidth, h = kEditorHeight;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    tolex(cr, s, w, h);
    piping(cr, 4, 4, w - 8, h - 8, 10);
    const CControlRow* rows = kEditorControls;
    const std::size_t count = std::size(kEditorControls);

    grilleCloth(cr, 12, 12, 470, 62);
    logo(cr, "Tavik", 247, 47, 32, "P R E A M P");
    plate(cr, 490, 12, 158, 62, kSteelLight, kSteelDark, 5);
    const CControlRow& quality = row(rows, count, 13);
    const CControlRow& stereo = row(rows, count, 12);
    for (const CControlRow* r : {&quality, &stereo}) {
        cairo_arc(cr, r->left + 4, r->top + 4, 6, 0, 2 * kPi);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
        cairo_fill(cr);
    }
    text(cr, "HIGH Q", quality.left - 9, quality.top + 4, 8.5, kSilkscreen, Align::Right);
    text(cr, "STEREO", stereo.left - 9, stereo.top + 4, 8.5, kSilkscreen, Align::Right);

    plate(cr, 12, 80, w - 24, 85, kGoldLight, kGoldDark, 9);
    ampPanelText(cr, AmpLabels{rows, count, 155}, false);
    cairo_destroy(cr);
    return s;
}

// ---- Knob and switches --------------------------------------------------------------------------------

void drawKnob(cairo_t* cr, double cx, double cy, double degrees) {
    // Soft shadow below.
    cairo_pattern_t* shadow = cairo_pattern_create_radial(cx + 1.5, cy + 3, 12, cx + 1.5, cy + 3, 23);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    cairo_set_source(cr, shadow);
    cairo_arc(cr, cx + 1.5, cy + 3, 23, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
    // Knurled skirt.
    cairo_arc(cr, cx, cy, 19, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.06, 0.06, 0.06);
    cairo_fill(cr);
    const double turn = degrees * kPi / 180.0;
    for (int k = 0; k < 48; ++k) {
        const double a = turn + k * 2 * kPi / 48;
        cairo_move_to(cr, cx + 15.5 * std::sin(a), cy - 15.5 * std::cos(a));
        cairo_line_to(cr, cx + 18.6 * std::sin(a), cy - 18.6 * std::cos(a));
    }
    cairo_set_source_rgba(cr, 0.5, 0.5, 0.5, 0.45);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
    // Glossy body, lit from above.
    cairo_pattern_t* body = cairo_pattern_create_linear(cx, cy - 15, cx, cy + 15);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.30, 0.30, 0.30);
    cairo_pattern_add_color_stop_rgb(body, 0.5, 0.10, 0.10, 0.10);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.03, 0.03, 0.03);
    cairo_arc(cr, cx, cy, 15, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.9);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    // Gold cap.
    cairo_pattern_t* cap = cairo_pattern_create_radial(cx - 3, cy - 4, 1, cx, cy, 9.5);
    cairo_pattern_add_color_stop_rgb(cap, 0, 1.0, 0.95, 0.78);
    cairo_pattern_add_color_stop_rgb(cap, 0.6, 0.80, 0.64, 0.32);
    cairo_pattern_add_color_stop_rgb(cap, 1, 0.50, 0.37, 0.14);
    cairo_arc(cr, cx, cy, 9.5, 0, 2 * kPi);
    cairo_set_source(cr, cap);
    cairo_fill(cr);
    cairo_pattern_destroy(cap);
    // Pointer line across skirt and cap.
    const double s = std::sin(turn), c = -std::cos(turn);
    cairo_move_to(cr, cx + 5 * s, cy + 5 * c);
    cairo_line_to(cr, cx + 18 * s, cy + 18 * c);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgb(cr, 0.07, 0.05, 0.02);
    cairo_set_line_width(cr, 3.2);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgb(cr, 0.98, 0.97, 0.92);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

cairo_surface_t* knobStrip() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kKnobSize, kKnobSize * kKnobFrames);
    cairo_t* cr = cairo_create(s);
    for (int k = 0; k < kKnobFrames; ++k)
        drawKnob(cr, kKnobSize / 2.0, kKnobSize * k + kKnobSize / 2.0,
                 -kKnobSweep / 2 + kKnobSweep * k / (kKnobFrames - 1));
    cairo_destroy(cr);
    return s;
}

// A chrome bat-handle toggle on a hex nut; `up` points the lever up.
void batToggle(cairo_t* cr, double cx, double cy, double nut, double length, double ball, bool up) {
    cairo_new_path(cr);
    for (int k = 0; k < 6; ++k) {
        const double a = kPi / 6 + k * kPi / 3;
        cairo_line_to(cr, cx + nut * std::cos(a), cy + nut * std::sin(a));
    }
    cairo_close_path(cr);
    cairo_pattern_t* metal = cairo_pattern_create_linear(cx - nut, cy - nut, cx + nut, cy + nut);
    cairo_pattern_add_color_stop_rgb(metal, 0, 0.95, 0.95, 0.95);
    cairo_pattern_add_color_stop_rgb(metal, 1, 0.40, 0.40, 0.42);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(metal);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, nut * 0.55, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    cairo_fill(cr);
    const double tip = up ? cy - length : cy + length;
    // Shadow of the lever, then the lever.
    cairo_move_to(cr, cx + 1.5, cy + 1.5);
    cairo_line_to(cr, cx + 1.5, tip + 1.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, ball * 1.3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    cairo_pattern_t* chrome = cairo_pattern_create_linear(cx - ball, 0, cx + ball, 0);
    cairo_pattern_add_color_stop_rgb(chrome, 0, 0.55, 0.55, 0.58);
    cairo_pattern_add_color_stop_rgb(chrome, 0.35, 1.0, 1.0, 1.0);
    cairo_pattern_add_color_stop_rgb(chrome, 1, 0.35, 0.35, 0.38);
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, cx, tip);
    cairo_set_source(cr, chrome);
    cairo_set_line_width(cr, ball * 1.1);
    cairo_stroke(cr);
    cairo_arc(cr, cx, tip, ball, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(chrome);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A film strip of two frames stacked vertically; draw(cr, frame, top) draws one frame.
template <class Draw>
cairo_surface_t* twoFrames(int width, int frameHeight, Draw draw) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, 2 * frameHeight);
    cairo_t* cr = cairo_create(s);
    for (int f = 0; f < 2; ++f) draw(cr, f, static_cast<double>(frameHeight * f));
    cairo_destroy(cr);
    return s;
}

cairo_surface_t* channelSwitch() {
    // Frame 0 is position 0 (channel 1, lever up), frame 1 position 1 (channel 2, lever down).
    return twoFrames(35, 60, [](cairo_t* cr, int f, double y) { batToggle(cr, 17.5, y + 30, 9, 20, 4.5, f == 0); });
}

cairo_surface_t* miniToggle() {
    // Frame 0 off (lever down), frame 1 on (lever up).
    return twoFrames(12, 27, [](cairo_t* cr, int f, double y) { batToggle(cr, 6, y + 13.5, 5, 9, 2.6, f == 1); });
}

// A round jewel light: dark when off, glowing when on.
void jewel(cairo_t* cr, double cx, double cy, double r, Rgb lit, bool on) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, r * 0.1, cx, cy, r);
    if (on) {
        cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 0.9);
        cairo_pattern_add_color_stop_rgb(p, 0.5, lit.r, lit.g, lit.b);
        cairo_pattern_add_color_stop_rgb(p, 1, lit.r * 0.5, lit.g * 0.5, lit.b * 0.5);
    } else {
        cairo_pattern_add_color_stop_rgb(p, 0, lit.r * 0.45, lit.g * 0.45, lit.b * 0.45);
        cairo_pattern_add_color_stop_rgb(p, 1, lit.r * 0.12, lit.g * 0.12, lit.b * 0.12);
    }
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

cairo_surface_t* lightButton() {
    return twoFrames(8, 8, [](cairo_t* cr, int f, double y) { jewel(cr, 4, y + 4, 3.8, hex(0xff3a22), f == 1); });
}

// A square push button with a light in it; the top-left w x h pixels of each frame hold it.
void pushButton(cairo_t* cr, double x, double y, double w, double h, bool pressed) {
    roundedRect(cr, x + 1, y + 2, w, h, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, pressed ? 0.3 : 0.6);
    cairo_fill(cr);
    const double dy = pressed ? 1 : 0;
    cairo_pattern_t* face = cairo_pattern_create_linear(0, y + dy, 0, y + dy + h);
    cairo_pattern_add_color_stop_rgb(face, 0, pressed ? 0.55 : 0.78, pressed ? 0.55 : 0.78, pressed ? 0.57 : 0.80);
    cairo_pattern_add_color_stop_rgb(face, 1, pressed ? 0.30 : 0.42, pressed ? 0.30 : 0.42, pressed ? 0.32 : 0.45);
    roundedRect(cr, x, y + dy, w, h, 3);
    cairo_set_source(cr, face);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(face);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

cairo_surface_t* phaseButton() {
    // Frame 1 (polarity inverted) lights up.
    return twoFrames(18, 19, [](cairo_t* cr, int f, double y) {
        const double cy = y + 9.5;
        cairo_arc(cr, 9, cy, 8.3, 0, 2 * kPi);
        cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
        cairo_fill(cr);
        jewel(cr, 9, cy, 6, hex(0xffb020), f == 1);
        text(cr, "\xC3\x98", 9, cy - 0.5, 8, f == 1 ? hex(0x3a2000) : hex(0xb0a080));
    });
}

cairo_surface_t* loadButton() {
    // Frame 0 released, frame 1 held down. Only the upper part is drawn: the knob row overlaps the rest.
    return twoFrames(53, 40, [](cairo_t* cr, int f, double y) {
        pushButton(cr, 2.5, y + 1.5, 47, 22, f == 1);
        text(cr, "LOAD IR", 26, y + 12.5 + (f == 1 ? 1 : 0), 8.5, hex(0x141414));
    });
}

cairo_surface_t* cabinetButton() {
    // Frame 0 cabinet off (bypassed), frame 1 cabinet on. Drawn in the upper left only: the load button
    // and the delay knob overlap the rest of the frame.
    return twoFrames(56, 37, [](cairo_t* cr, int f, double y) {
        pushButton(cr, 1.5, y + 0.5, 30, 26, false);
        jewel(cr, 9.5, y + 13.5, 4, hex(0x40ff60), f == 1);
        text(cr, "ON", 22, y + 13.5, 8, hex(0x141414));
    });
}

cairo_surface_t* slideSwitch() {
    // Frame 0 slider left (off), frame 1 slider right (on).
    return twoFrames(50, 27, [](cairo_t* cr, int f, double y) {
        roundedRect(cr, 2, y + 8, 46, 11, 5.5);
        cairo_set_source_rgb(cr, 0.03, 0.03, 0.03);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        const double x = f == 0 ? 3 : 27;
        roundedRect(cr, x + 1, y + 4.5, 20, 20, 3);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
        cairo_fill(cr);
        cairo_pattern_t* metal = cairo_pattern_create_linear(0, y + 3, 0, y + 23);
        cairo_pattern_add_color_stop_rgb(metal, 0, 0.96, 0.96, 0.96);
        cairo_pattern_add_color_stop_rgb(metal, 1, 0.45, 0.45, 0.48);
        roundedRect(cr, x, y + 3, 20, 20, 3);
        cairo_set_source(cr, metal);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(metal);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
        cairo_stroke(cr);
        for (int k = 0; k < 4; ++k) {
            cairo_move_to(cr, x + 5.5 + 3 * k, y + 8);
            cairo_line_to(cr, x + 5.5 + 3 * k, y + 18);
        }
        cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
        cairo_stroke(cr);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_art FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = save(fullStackBackground(), folder, "fullstack_background.png");
    ok = save(preampBackground(), folder, "preamp_background.png") && ok;
    ok = save(knobStrip(), folder, "knob.png") && ok;
    ok = save(lightButton(), folder, "light_button.png") && ok;
    ok = save(channelSwitch(), folder, "channel_switch.png") && ok;
    ok = save(miniToggle(), folder, "mini_toggle.png") && ok;
    ok = save(phaseButton(), folder, "phase_button.png") && ok;
    ok = save(loadButton(), folder, "load_button.png") && ok;
    ok = save(cabinetButton(), folder, "cabinet_button.png") && ok;
    ok = save(slideSwitch(), folder, "slide_switch.png") && ok;
    return ok ? 0 : 1;
}
