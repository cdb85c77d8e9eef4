// The text box that names a cabinet's impulse response: white text on black in a white outline, which
// thickens while a drag hovers over it. A file or text dropped on it replaces the text; nothing is loaded.
#pragma once

#include "gui/param_display.h"

namespace tavik {

class CLabel : public CParamDisplay {
public:
    static constexpr std::size_t kTextSize = 256;

    CLabel(const CRect& size, const char* text);

    // Keeps at most kTextSize - 1 bytes of text.
    void setText(const char* text);
    const char* getText() const { return text_; }
    bool isHighlighted() const { return highlight_; }

    void draw(CDrawContext* context) override;
    bool onDragEnter(const CDragContainer& drag, CPoint where) override;
    void onDragLeave(const CDragContainer& drag, CPoint where) override;
    bool onDrop(const CDragContainer& drag, CPoint where) override;

private:
    char text_[kTextSize] = {};
    bool highlight_ = false;
};

}  // namespace tavik
