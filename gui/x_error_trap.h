// Keeps the X errors of our own display connections away from the host. Xlib reports errors to
// process-wide handlers whose defaults end the process: protocol errors (a parent window the host has
// already destroyed, a drag source that went away) and I/O errors (the server went away). While any of
// our connections is registered, our handlers stand in front of the ones installed before: errors on
// our connections are counted or mark the connection lost, errors on any other connection go to the
// previous handler unchanged. Internal to gui/.
#pragma once

#include <X11/Xlib.h>

struct XErrorTrapSlot;

class XErrorTrap {
public:
    // Registers the connection; see active().
    explicit XErrorTrap(Display* display);
    // Unregisters; call after XCloseDisplay, so that anything the close reports is still caught.
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // False only when the registration could not be made (out of memory): then nothing is trapped.
    bool active() const { return slot_ != nullptr; }
    // Protocol errors on the connection since it was registered.
    unsigned errors() const;
    // The connection broke (the server went away or the socket failed). Xlib then answers every call on
    // it without a request, but nothing should be asked of it any more but XCloseDisplay.
    bool lost() const;

private:
    XErrorTrapSlot* slot_ = nullptr;
};
