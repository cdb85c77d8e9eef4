// The base of everything a frame shows: a rectangle that draws itself and may answer the mouse and drags.
// Views live on the editor's thread only; nothing here is safe to touch from another thread.
#pragma once

#include "gui/drag_container.h"
#include "gui/geometry.h"

class CDrawContext;
class CFrame;

class CView {
public:
    explicit CView(const CRect& size) : size_(size) {}
    virtual ~CView() = default;
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    virtual void draw(CDrawContext* context) = 0;

    // A press inside the view; returning Handled makes the view receive the moves and the release.
    virtual CMouseEventResult onMouseDown(CPoint where, int32_t buttons) {
        (void)where; (void)buttons;
        return CMouseEventResult::NotHandled;
    }
    virtual CMouseEventResult onMouseMoved(CPoint where, int32_t buttons) {
        (void)where; (void)buttons;
        return CMouseEventResult::NotHandled;
    }
    virtual CMouseEventResult onMouseUp(CPoint where, int32_t buttons) {
        (void)where; (void)buttons;
        return CMouseEventResult::NotHandled;
    }
    // distance: wheel steps, positive away from the user.
    virtual bool onWheel(CPoint where, float distance, int32_t buttons) {
        (void)where; (void)distance; (void)buttons;
        return false;
    }

    // Drag and drop. onDragEnter answers whether the view takes drops at all.
    virtual bool onDragEnter(const CDragContainer& drag, CPoint where) {
        (void)drag; (void)where;
        return false;
    }
    virtual void onDragLeave(const CDragContainer& drag, CPoint where) { (void)drag; (void)where; }
    virtual bool onDrop(const CDragContainer& drag, CPoint where) {
        (void)drag; (void)where;
        return false;
    }

    const CRect& getViewSize() const { return size_; }
    void setViewSize(const CRect& size) {
        size_ = size;
        setDirty();
    }
    bool hitTest(CPoint where) const { return mouseEnabled_ && size_.pointInside(where); }
    void setMouseEnabled(bool enabled) { mouseEnabled_ = enabled; }
    bool getMouseEnabled() const { return mouseEnabled_; }

    // A dirty view is redrawn at the frame's next idle.
    void setDirty(bool dirty = true) { dirty_ = dirty; }
    bool isDirty() const { return dirty_; }

    CFrame* getFrame() const { return frame_; }
    void setFrame(CFrame* frame) { frame_ = frame; }

private:
    CRect size_;
    bool mouseEnabled_ = true;
    bool dirty_ = true;
    CFrame* frame_ = nullptr;
};
