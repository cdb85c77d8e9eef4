// What views draw with: filled and outlined rectangles, one line of text, and parts of bitmaps, onto a
// cairo context the frame owns.
#pragma once

#include <string_view>

#include "gui/geometry.h"

typedef struct _cairo cairo_t;
class CBitmap;

class CDrawContext {
public:
    explicit CDrawContext(cairo_t* cairo) : cairo_(cairo) {}
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void setFillColor(CColor color) { fillColor_ = color; }
    void setFrameColor(CColor color) { frameColor_ = color; }
    void setFontColor(CColor color) { fontColor_ = color; }
    void setLineWidth(CCoord width) { lineWidth_ = width; }
    void setFont(CFontId font) { font_ = font; }
    CFontId getFont() const { return font_; }

    void fillRect(const CRect& rect);
    // An outline inside the rectangle, lineWidth pixels wide.
    void frameRect(const CRect& rect);
    // One line of text, vertically centred in rect and clipped to it; `inset` pixels from the aligned edge.
    // Line breaks and tabs show as spaces.
    void drawString(std::string_view text, const CRect& rect, CHoriTxtAlign align, CCoord inset = 0);
    // Copies the part of the bitmap that starts at `offset` into `dest`, blending by the bitmap's alpha.
    void drawBitmap(CBitmap& bitmap, const CRect& dest, CPoint offset);

    // Limits drawing to rect (within any clip already set) until the matching popClip.
    void pushClip(const CRect& rect);
    void popClip();

    // Pixel size of each entry of the standard font table.
    static double fontSize(CFontId font);

private:
    cairo_t* cairo_;
    CColor fillColor_ = kBlackCColor;
    CColor frameColor_ = kWhiteCColor;
    CColor fontColor_ = kWhiteCColor;
    CCoord lineWidth_ = 1;
    CFontId font_ = kSystemFont;
};
