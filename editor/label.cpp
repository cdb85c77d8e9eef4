#include "editor/label.h"

#include <cstring>

#include "gui/draw_context.h"
#include "gui/frame.h"

namespace tavik {

namespace {

const CDragContainer::Item* droppable(const CDragContainer& drag) {
    for (std::size_t i = 0; i < drag.getCount(); ++i) {
        const CDragContainer::Item* item = drag.item(i);
        if (item->type == CDragContainer::Type::File || item->type == CDragContainer::Type::Text) return item;
    }
    return nullptr;
}

}  // namespace

CLabel::CLabel(const CRect& size, const char* text) : CParamDisplay(size) {
    setFontColor(kWhiteCColor);
    setBackColor(kBlackCColor);
    setFrameColor(kWhiteCColor);
    setHoriAlign(CHoriTxtAlign::Left);
    setText(text);
}

void CLabel::setText(const char* text) {
    const std::size_t length = text ? strnlen(text, kTextSize - 1) : 0;
    if (length == std::strlen(text_) && std::memcmp(text_, text ? text : "", length) == 0) return;
    if (length > 0) std::memcpy(text_, text, length);
    text_[length] = '\0';
    setDirty();
}

void CLabel::draw(CDrawContext* context) {
    context->setFillColor(getBackColor());
    context->fillRect(getViewSize());
    context->setFrameColor(getFontColor());
    context->setLineWidth(highlight_ ? 2 : 1);
    context->frameRect(getViewSize());
    drawText(context, text_, 1);
}

bool CLabel::onDragEnter(const CDragContainer& drag, CPoint) {
    if (!droppable(drag)) return false;
    if (getFrame()) getFrame()->setCursor(CCursorType::Copy);
    highlight_ = true;
    setDirty();
    return true;
}

void CLabel::onDragLeave(const CDragContainer&, CPoint) {
    if (getFrame()) getFrame()->setCursor(CCursorType::Default);
    highlight_ = false;
    setDirty();
}

bool CLabel::onDrop(const CDragContainer& drag, CPoint) {
    const CDragContainer::Item* item = droppable(drag);
    if (!item) return false;
    setText(item->data.c_str());
    return true;
}

}  // namespace tavik
