#include "gui/draw_context.h"

#include <cairo.h>

#include <string>

#include "gui/bitmap.h"

namespace {

void useColor(cairo_t* cr, CColor c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void addRect(cairo_t* cr, const CRect& r) {
    cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
}

}  // namespace

double CDrawContext::fontSize(CFontId font) {
    static constexpr double kSizes[kNumStandardFonts] = {12, 18, 14, 12, 11, 10, 9, 13};
    return font >= 0 && font < kNumStandardFonts ? kSizes[font] : kSizes[kSystemFont];
}

void CDrawContext::pushClip(const CRect& rect) {
    cairo_save(cairo_);
    addRect(cairo_, rect);
    cairo_clip(cairo_);
}

void CDrawContext::popClip() { cairo_restore(cairo_); }

void CDrawContext::fillRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    useColor(cairo_, fillColor_);
    addRect(cairo_, rect);
    cairo_fill(cairo_);
}

void CDrawContext::frameRect(const CRect& rect) {
    if (rect.isEmpty() || lineWidth_ <= 0) return;
    // A stroke is centred on its path: inset by half the width so that it stays inside the rectangle.
    const double half = lineWidth_ / 2.0;
    useColor(cairo_, frameColor_);
    cairo_set_line_width(cairo_, lineWidth_);
    cairo_rectangle(cairo_, rect.left + half, rect.top + half, rect.width() - lineWidth_, rect.height() - lineWidth_);
    cairo_stroke(cairo_);
}

void CDrawContext::drawString(std::string_view text, const CRect& rect, CHoriTxtAlign align, CCoord inset) {
    if (rect.isEmpty() || text.empty()) return;
    std::string line(text);
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    cairo_save(cairo_);
    addRect(cairo_, rect);
    cairo_clip(cairo_);
    cairo_select_font_face(cairo_, font_ == kSymbolFont ? "Serif" : "Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo_, fontSize(font_));
    cairo_font_extents_t font{};
    cairo_font_extents(cairo_, &font);
    cairo_text_extents_t extents{};
    cairo_text_extents(cairo_, line.c_str(), &extents);
    double x = rect.left + inset;
    if (align == CHoriTxtAlign::Center) x = rect.left + (rect.width() - extents.x_advance) / 2.0;
    if (align == CHoriTxtAlign::Right) x = rect.right - inset - extents.x_advance;
    const double baseline = rect.top + (rect.height() + font.ascent - font.descent) / 2.0;
    useColor(cairo_, fontColor_);
    cairo_move_to(cairo_, x, baseline);
    cairo_show_text(cairo_, line.c_str());
    cairo_restore(cairo_);
}

void CDrawContext::drawBitmap(CBitmap& bitmap, const CRect& dest, CPoint offset) {
    cairo_surface_t* pixels = bitmap.surface();
    if (!pixels || dest.isEmpty()) return;
    cairo_save(cairo_);
    addRect(cairo_, dest);
    cairo_clip(cairo_);
    cairo_set_source_surface(cairo_, pixels, dest.left - offset.x, dest.top - offset.y);
    cairo_paint(cairo_);
    cairo_restore(cairo_);
}
