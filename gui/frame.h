// The editor's window: owns the views, routes the mouse and drags to them, and redraws what changed
// into a back buffer that it copies to an X11 child window of the host's window. The window has its own
// connection to the X server; all of it runs on the editor's thread, driven by the host's idle calls.
// Without a window (no parent given, or no display) a frame still holds, routes and draws views, which
// is how the controls are tested.
#pragma once

#include <memory>
#include <vector>

#include "gui/geometry.h"
#include "gui/view.h"

class AEffGUIEditor;
class CBitmap;
class CDrawContext;

typedef struct _cairo_surface cairo_surface_t;

enum class CCursorType { Default, Copy };

class CFrame {
public:
    // With a parent window, opens the display and creates the window at once; see isOpen().
    CFrame(const CRect& size, void* systemWindow, AEffGUIEditor* editor);
    ~CFrame();
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    // True when the window exists on the display.
    bool isOpen() const { return window_ != nullptr; }
    // The window's connection to the X server broke; the frame draws into its back buffer only.
    bool connectionLost() const;
    AEffGUIEditor* getEditor() const { return editor_; }
    const CRect& getViewSize() const { return size_; }
    // The X11 window id of the frame's own window, 0 without one.
    unsigned long windowId() const;

    void setBackground(std::shared_ptr<CBitmap> background);
    CBitmap* getBackground() const { return background_.get(); }

    // Takes ownership; views are drawn in the order they were added, later ones on top.
    void addView(CView* view);
    // Deletes the view.
    bool removeView(CView* view);
    int32_t getNbViews() const { return static_cast<int32_t>(views_.size()); }
    CView* getView(int32_t index) const;
    // The topmost view under the point that takes the mouse, or null.
    CView* viewAt(CPoint where) const;

    // Redraw this area at the next idle even if no view in it is dirty.
    void invalidRect(const CRect& rect);

    // Input in frame coordinates, as the window delivers it.
    void onMouseDown(CPoint where, int32_t buttons);
    void onMouseMoved(CPoint where, int32_t buttons);
    void onMouseUp(CPoint where, int32_t buttons);
    void onWheel(CPoint where, float distance, int32_t buttons);
    // A drag over the frame: tells views when it enters and leaves them; answers whether the view under
    // the point takes drops.
    bool onDragMove(const CDragContainer& drag, CPoint where);
    void onDragLeave(const CDragContainer& drag);
    bool onDrop(const CDragContainer& drag, CPoint where);

    void setCursor(CCursorType cursor);
    CCursorType getCursor() const { return cursor_; }

    // The host's idle call: first the window's pending events, then the redraw.
    void idle();
    void pumpEvents();
    // Draws every dirty view and invalid area into the back buffer and copies them to the window.
    void redraw();

    // The back buffer (RGB, the frame's size), drawn as of the last redraw; null before the first.
    cairo_surface_t* backBuffer() const { return back_; }

    // The X11 side of the frame, kept out of this header (frame_window.h).
    struct Window;

private:
    void drawArea(CDrawContext& context, const CRect& area);

    CRect size_;
    AEffGUIEditor* editor_;
    std::shared_ptr<CBitmap> background_;
    std::vector<CView*> views_;
    std::vector<CRect> invalid_;
    CView* mouseView_ = nullptr;
    CView* dragView_ = nullptr;
    CCursorType cursor_ = CCursorType::Default;
    cairo_surface_t* back_ = nullptr;
    bool everDrawn_ = false;
    std::unique_ptr<Window> window_;
};
