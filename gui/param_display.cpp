#include "gui/param_display.h"

#include <cstdio>

#include "gui/draw_context.h"

CParamDisplay::CParamDisplay(const CRect& size, std::shared_ptr<CBitmap> background)
    : CControl(size, nullptr, -1, std::move(background)) {}

void CParamDisplay::draw(CDrawContext* context) {
    drawBack(context);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(getValue()));
    drawText(context, text);
}

void CParamDisplay::drawBack(CDrawContext* context) {
    if (getBackground()) {
        drawFrame(context, 0, getViewSize().height());
    } else {
        context->setFillColor(backColor_);
        context->fillRect(getViewSize());
    }
    context->setFrameColor(frameColor_);
    context->setLineWidth(1);
    context->frameRect(getViewSize());
}

void CParamDisplay::drawText(CDrawContext* context, std::string_view text, CCoord inset) {
    context->setFont(font_);
    context->setFontColor(fontColor_);
    context->drawString(text, getViewSize(), align_, inset);
}
