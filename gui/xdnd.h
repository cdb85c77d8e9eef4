// The receiving side of the XDND drag-and-drop protocol (version 5) for a frame's window: enter,
// position (answered with a status saying whether the view under the pointer takes drops), leave, and
// drop, whose data is fetched through the XdndSelection and handed to the frame. Internal to gui/.
#pragma once

#include <X11/Xlib.h>

#include "gui/drag_container.h"
#include "gui/geometry.h"

class CFrame;

class XdndTarget {
public:
    static constexpr long kVersion = 5;

    // Marks the window as a drop target (XdndAware).
    XdndTarget(Display* display, ::Window window, CFrame& frame);

    // True when the event belonged to the protocol and has been handled.
    bool handle(const XEvent& event);

private:
    void enter(const XClientMessageEvent& message);
    void position(const XClientMessageEvent& message);
    void leave();
    void drop(const XClientMessageEvent& message);
    void receive(const XSelectionEvent& selection);
    void send(Atom type, long l1, long l2, long l3, long l4);
    void finish(bool accepted);
    void reset();

    Display* display_;
    ::Window window_;
    CFrame& frame_;
    Atom aware_, enter_, position_, status_, leave_, drop_, finished_, selection_, typeList_, actionCopy_;
    Atom uriList_, utf8_, textUtf8_, textPlain_, property_;

    ::Window source_ = 0;
    Atom type_ = 0;          // the data type we will ask for, 0 if the drag offers none we read
    bool accepted_ = false;  // what the last status said
    bool awaitingData_ = false;
    CPoint where_{};
    CDragContainer drag_;    // during the drag: the kind of item only; the data comes with the drop
};
