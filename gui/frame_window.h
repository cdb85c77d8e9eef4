// The X11 side of a frame: its own display connection, a child window of the host's window, the event
// pump and the copy from the back buffer. Internal to gui/.
#pragma once

#include <memory>
#include <vector>

#include "gui/frame.h"

struct CFrame::Window {
    // Opens a connection (XOpenDisplay(nullptr)) and a child window of `parent`; null when the display
    // cannot be opened or the parent is not a window on it.
    static std::unique_ptr<Window> open(void* parent, const CRect& size, CFrame& frame);

    virtual ~Window() = default;
    virtual unsigned long id() const = 0;
    // The connection broke (the X server went away): the window is gone and nothing is sent any more.
    virtual bool lost() const = 0;
    // Hands every pending event of the window to the frame.
    virtual void pump() = 0;
    // Copies these areas of the back buffer to the window and waits until the server has drawn them.
    virtual void show(cairo_surface_t* back, const std::vector<CRect>& areas) = 0;
    virtual void setCursor(CCursorType cursor) = 0;
};
