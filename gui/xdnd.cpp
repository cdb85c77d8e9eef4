#include "gui/xdnd.h"

#include <X11/Xatom.h>

#include <string_view>
#include <vector>

#include "gui/drop_data.h"
#include "gui/frame.h"

namespace {

// Dropped data larger than this is refused rather than read.
constexpr long kMaxDropBytes = 1 << 20;

}  // namespace

XdndTarget::XdndTarget(Display* display, ::Window window, CFrame& frame)
    : display_(display), window_(window), frame_(frame) {
    auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    aware_ = atom("XdndAware");
    enter_ = atom("XdndEnter");
    position_ = atom("XdndPosition");
    status_ = atom("XdndStatus");
    leave_ = atom("XdndLeave");
    drop_ = atom("XdndDrop");
    finished_ = atom("XdndFinished");
    selection_ = atom("XdndSelection");
    typeList_ = atom("XdndTypeList");
    actionCopy_ = atom("XdndActionCopy");
    uriList_ = atom("text/uri-list");
    utf8_ = atom("UTF8_STRING");
    textUtf8_ = atom("text/plain;charset=utf-8");
    textPlain_ = atom("text/plain");
    property_ = atom("TAVIK_DROP");
    const long version = kVersion;
    XChangeProperty(display, window, aware_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

bool XdndTarget::handle(const XEvent& event) {
    if (event.type == SelectionNotify) {
        if (event.xselection.requestor != window_ || event.xselection.selection != selection_) return false;
        receive(event.xselection);
        return true;
    }
    if (event.type != ClientMessage) return false;
    const XClientMessageEvent& message = event.xclient;
    if (message.message_type == enter_) {
        enter(message);
    } else if (message.message_type == position_) {
        position(message);
    } else if (message.message_type == leave_) {
        if (static_cast<::Window>(message.data.l[0]) == source_) leave();
    } else if (message.message_type == drop_) {
        drop(message);
    } else {
        return false;
    }
    return true;
}

void XdndTarget::enter(const XClientMessageEvent& message) {
    if (source_ && !awaitingData_) leave();
    reset();
    source_ = static_cast<::Window>(message.data.l[0]);
    std::vector<Atom> offered;
    if (message.data.l[1] & 1) {
        // More than three types: the source lists them in a property of its window.
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, source_, typeList_, 0, 64, False, XA_ATOM, &actual, &format, &count, &after,
                               &data) == Success &&
            data && format == 32) {
            const auto* atoms = reinterpret_cast<const unsigned long*>(data);
            offered.assign(atoms, atoms + count);
        }
        if (data) XFree(data);
    } else {
        for (int i = 2; i <= 4; ++i)
            if (message.data.l[i]) offered.push_back(static_cast<Atom>(message.data.l[i]));
    }
    for (Atom wanted : {uriList_, utf8_, textUtf8_, textPlain_, static_cast<Atom>(XA_STRING)}) {
        for (Atom a : offered)
            if (a == wanted) type_ = wanted;
        if (type_) break;
    }
    if (type_) drag_.add(type_ == uriList_ ? CDragContainer::Type::File : CDragContainer::Type::Text, {});
}

void XdndTarget::position(const XClientMessageEvent& message) {
    if (static_cast<::Window>(message.data.l[0]) != source_ || awaitingData_) return;
    const int rootX = static_cast<int>((message.data.l[2] >> 16) & 0xffff);
    const int rootY = static_cast<int>(message.data.l[2] & 0xffff);
    int x = 0, y = 0;
    ::Window child = 0;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window_, &attributes))
        XTranslateCoordinates(display_, attributes.root, window_, rootX, rootY, &x, &y, &child);
    where_ = CPoint{x, y};
    accepted_ = type_ != 0 && frame_.onDragMove(drag_, where_);
    // Bit 1 asks for a position message at every move, since acceptance depends on the view under the pointer.
    send(status_, (accepted_ ? 1 : 0) | 2, 0, 0, accepted_ ? static_cast<long>(actionCopy_) : 0);
}

void XdndTarget::leave() {
    frame_.onDragLeave(drag_);
    reset();
}

void XdndTarget::drop(const XClientMessageEvent& message) {
    if (static_cast<::Window>(message.data.l[0]) != source_ || awaitingData_) return;
    if (!accepted_) {
        frame_.onDragLeave(drag_);
        finish(false);
        return;
    }
    awaitingData_ = true;
    XConvertSelection(display_, selection_, type_, property_, window_, static_cast<Time>(message.data.l[2]));
    XFlush(display_);
}

void XdndTarget::receive(const XSelectionEvent& selection) {
    if (!awaitingData_) return;
    bool taken = false;
    if (selection.property != 0) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window_, selection.property, 0, kMaxDropBytes / 4, True, AnyPropertyType,
                               &actual, &format, &count, &after, &data) == Success &&
            data && format == 8 && after == 0) {
            const CDragContainer items =
                gui::dropItems(std::string_view(reinterpret_cast<const char*>(data), count), type_ == uriList_);
            taken = items.getCount() > 0 && frame_.onDrop(items, where_);
        }
        if (data) XFree(data);
    }
    if (!taken) frame_.onDragLeave(drag_);
    finish(taken);
}

void XdndTarget::send(Atom type, long l1, long l2, long l3, long l4) {
    if (!source_) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display_;
    event.xclient.window = source_;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(window_);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display_, source_, False, NoEventMask, &event);
    XFlush(display_);
}

void XdndTarget::finish(bool accepted) {
    send(finished_, accepted ? 1 : 0, accepted ? static_cast<long>(actionCopy_) : 0, 0, 0);
    reset();
}

void XdndTarget::reset() {
    source_ = 0;
    type_ = 0;
    accepted_ = false;
    awaitingData_ = false;
    drag_ = CDragContainer();
}
