// A control that shows its value as text on a coloured box, in a font of the standard table. It takes no
// mouse input of its own.
#pragma once

#include <string_view>

#include "gui/control.h"

class CParamDisplay : public CControl {
public:
    explicit CParamDisplay(const CRect& size, std::shared_ptr<CBitmap> background = nullptr);

    void draw(CDrawContext* context) override;

    void setFont(CFontId font) { font_ = font; setDirty(); }
    CFontId getFont() const { return font_; }
    void setFontColor(CColor color) { fontColor_ = color; setDirty(); }
    CColor getFontColor() const { return fontColor_; }
    void setBackColor(CColor color) { backColor_ = color; setDirty(); }
    CColor getBackColor() const { return backColor_; }
    void setFrameColor(CColor color) { frameColor_ = color; setDirty(); }
    CColor getFrameColor() const { return frameColor_; }
    void setHoriAlign(CHoriTxtAlign align) { align_ = align; setDirty(); }

protected:
    // The box: the background bitmap if there is one, else the back colour, outlined in the frame colour.
    void drawBack(CDrawContext* context);
    void drawText(CDrawContext* context, std::string_view text, CCoord inset = 0);

private:
    CFontId font_ = kSystemFont;
    CColor fontColor_ = kWhiteCColor;
    CColor backColor_ = kBlackCColor;
    CColor frameColor_ = kBlackCColor;
    CHoriTxtAlign align_ = CHoriTxtAlign::Center;
};
