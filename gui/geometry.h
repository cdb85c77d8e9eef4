// Points, rectangles and colours of the control layer, in window pixels with y growing downwards.
#pragma once

#include <algorithm>
#include <cstdint>

using CCoord = int32_t;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;
};

// Left and top are inside, right and bottom are one past the last pixel.
struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}
    static constexpr CRect fromSize(CCoord l, CCoord t, CCoord w, CCoord h) { return {l, t, l + w, t + h}; }

    constexpr CCoord width() const { return right - left; }
    constexpr CCoord height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool pointInside(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr bool intersects(const CRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    constexpr CRect intersection(const CRect& o) const {
        CRect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.isEmpty() ? CRect{} : r;
    }
    // The smallest rectangle holding both; an empty rectangle adds nothing.
    constexpr CRect united(const CRect& o) const {
        if (isEmpty()) return o;
        if (o.isEmpty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
    }
    constexpr bool operator==(const CRect&) const = default;
};

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    constexpr bool operator==(const CColor&) const = default;
};

constexpr CColor kBlackCColor{0, 0, 0, 255};
constexpr CColor kWhiteCColor{255, 255, 255, 255};
constexpr CColor kTransparentCColor{0, 0, 0, 0};

// Mouse buttons and modifier keys of a mouse event, or-ed together.
enum CButtonState : int32_t {
    kLButton = 1 << 0,
    kMButton = 1 << 1,
    kRButton = 1 << 2,
    kShift = 1 << 3,
    kControl = 1 << 4,
    kAlt = 1 << 5,
};

// What a view answers to a mouse event: whether it takes the rest of the gesture.
enum class CMouseEventResult { NotHandled, Handled };

enum class CHoriTxtAlign { Left, Center, Right };

// The standard font table; sizes are in pixels.
enum CFontId : int32_t {
    kSystemFont = 0,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
    kNumStandardFonts
};
