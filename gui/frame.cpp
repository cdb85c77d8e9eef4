#include "gui/frame.h"

#include <cairo.h>

#include <algorithm>

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame_window.h"

CFrame::CFrame(const CRect& size, void* systemWindow, AEffGUIEditor* editor) : size_(size), editor_(editor) {
    if (systemWindow) window_ = Window::open(systemWindow, size, *this);
}

CFrame::~CFrame() {
    // The back buffer goes before the window: cairo ties copies of it to the window's connection.
    if (back_) cairo_surface_destroy(back_);
    // Then the window, so that nothing reaches a view while the views are deleted.
    window_.reset();
    for (CView* view : views_) delete view;
}

unsigned long CFrame::windowId() const { return window_ ? window_->id() : 0; }

bool CFrame::connectionLost() const { return window_ && window_->lost(); }

void CFrame::setBackground(std::shared_ptr<CBitmap> background) {
    background_ = std::move(background);
    invalidRect(size_);
}

void CFrame::addView(CView* view) {
    if (!view) return;
    view->setFrame(this);
    view->setDirty();
    views_.push_back(view);
}

bool CFrame::removeView(CView* view) {
    auto found = std::find(views_.begin(), views_.end(), view);
    if (found == views_.end()) return false;
    views_.erase(found);
    if (mouseView_ == view) mouseView_ = nullptr;
    if (dragView_ == view) dragView_ = nullptr;
    invalidRect(view->getViewSize());
    delete view;
    return true;
}

CView* CFrame::getView(int32_t index) const {
    return index >= 0 && index < getNbViews() ? views_[static_cast<std::size_t>(index)] : nullptr;
}

CView* CFrame::viewAt(CPoint where) const {
    for (auto it = views_.rbegin(); it != views_.rend(); ++it)
        if ((*it)->hitTest(where)) return *it;
    return nullptr;
}

void CFrame::invalidRect(const CRect& rect) {
    const CRect area = rect.intersection(size_);
    if (!area.isEmpty()) invalid_.push_back(area);
}

void CFrame::onMouseDown(CPoint where, int32_t buttons) {
    // While one view holds the mouse, a second button belongs to the same gesture.
    if (mouseView_) {
        mouseView_->onMouseDown(where, buttons);
        return;
    }
    CView* view = viewAt(where);
    if (view && view->onMouseDown(where, buttons) == CMouseEventResult::Handled) mouseView_ = view;
}

void CFrame::onMouseMoved(CPoint where, int32_t buttons) {
    if (mouseView_) mouseView_->onMouseMoved(where, buttons);
}

void CFrame::onMouseUp(CPoint where, int32_t buttons) {
    CView* view = mouseView_;
    mouseView_ = nullptr;
    if (view) view->onMouseUp(where, buttons);
}

void CFrame::onWheel(CPoint where, float distance, int32_t buttons) {
    if (CView* view = viewAt(where)) view->onWheel(where, distance, buttons);
}

bool CFrame::onDragMove(const CDragContainer& drag, CPoint where) {
    CView* view = viewAt(where);
    if (view != dragView_) {
        if (dragView_) dragView_->onDragLeave(drag, where);
        dragView_ = nullptr;
        if (view && view->onDragEnter(drag, where)) dragView_ = view;
    }
    return dragView_ != nullptr;
}

void CFrame::onDragLeave(const CDragContainer& drag) {
    CView* view = dragView_;
    dragView_ = nullptr;
    if (view) view->onDragLeave(drag, CPoint{-1, -1});
}

bool CFrame::onDrop(const CDragContainer& drag, CPoint where) {
    if (!onDragMove(drag, where)) return false;
    CView* view = dragView_;
    const bool taken = view->onDrop(drag, where);
    // The drag is over: the view gets its leave as well, which takes its highlight away.
    onDragLeave(drag);
    return taken;
}

void CFrame::setCursor(CCursorType cursor) {
    cursor_ = cursor;
    if (window_) window_->setCursor(cursor);
}

void CFrame::idle() {
    pumpEvents();
    redraw();
}

void CFrame::pumpEvents() {
    if (window_) window_->pump();
}

void CFrame::redraw() {
    if (size_.isEmpty()) return;
    if (!back_) {
        back_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size_.width(), size_.height());
        if (cairo_surface_status(back_) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(back_);
            back_ = nullptr;
            return;
        }
    }
    std::vector<CRect> areas;
    areas.swap(invalid_);
    if (!everDrawn_) {
        areas.assign(1, size_);
        everDrawn_ = true;
    } else {
        for (CView* view : views_)
            if (view->isDirty()) areas.push_back(view->getViewSize().intersection(size_));
    }
    if (areas.empty()) return;

    cairo_t* cr = cairo_create(back_);
    CDrawContext context(cr);
    for (const CRect& area : areas) drawArea(context, area);
    cairo_destroy(cr);
    cairo_surface_flush(back_);
    if (window_) window_->show(back_, areas);
}

void CFrame::drawArea(CDrawContext& context, const CRect& area) {
    if (area.isEmpty()) return;
    // Everything is clipped to the area, so that views reaching out of it leave their other pixels alone.
    context.pushClip(area);
    if (background_) {
        context.drawBitmap(*background_, area, CPoint{area.left, area.top});
    } else {
        context.setFillColor(kBlackCColor);
        context.fillRect(area);
    }
    for (CView* view : views_) {
        const CRect visible = view->getViewSize().intersection(size_);
        if (!visible.intersects(area)) continue;
        view->draw(&context);
        if (area.united(visible) == area) view->setDirty(false);
    }
    context.popClip();
}
