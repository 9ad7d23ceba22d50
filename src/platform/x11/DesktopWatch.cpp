#include "platform/x11/DesktopWatch.h"

#include <xcb/xcbext.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/WindowManagerFacts.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/X11Text.h"

namespace tavrel::x11 {
namespace {

constexpr std::uint32_t kMaxNameItems = 64;  // 256 bytes of name

}  // namespace

DesktopWatch::DesktopWatch(X11Connection& connection) : connection_(connection) {
    // Selected before anything is read, so that no change goes unheard.
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_.get(), connection_.root(), XCB_CW_EVENT_MASK, &events);
    readWindowManager();
    requestActiveWindow(std::nullopt);
}

bool DesktopWatch::handleEvent(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    const Atoms& atoms = connection_.atoms();
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window != connection_.root())
            return false;
        if (notify->atom == atoms._NET_ACTIVE_WINDOW) {
            requestActiveWindow(notify->time);
        } else if (notify->atom == atoms._NET_SUPPORTING_WM_CHECK) {
            readWindowManager();
        }
        return true;
    }
    if (type == XCB_DESTROY_NOTIFY &&
        reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == checkWindow_) {
        readWindowManager();
        return true;
    }
    return false;
}

void DesktopWatch::readWindowManager() {
    xcb_connection_t* c = connection_.get();
    const Atoms& atoms = connection_.atoms();
    std::optional<std::string> name;
    xcb_window_t check = XCB_WINDOW_NONE;
    const auto pointer = X11Property::read(
        c, X11Property::request(c, connection_.root(), atoms._NET_SUPPORTING_WM_CHECK, 1));
    if (pointer)
        check = pointer->firstCardinal(XCB_ATOM_WINDOW).value_or(XCB_WINDOW_NONE);
    if (check != XCB_WINDOW_NONE) {
        // Watched before it is read: a window manager that ends now is still heard of.
        const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, check, XCB_CW_EVENT_MASK, &events);
        const auto self = X11Property::request(c, check, atoms._NET_SUPPORTING_WM_CHECK, 1);
        const auto netName = X11Property::request(c, check, atoms._NET_WM_NAME, kMaxNameItems);
        const auto live = X11Property::read(c, self);
        const auto text = X11Property::read(c, netName);
        // Stale properties outlive a window manager: only a check window that names itself
        // belongs to a live one.
        if (live && live->firstCardinal(XCB_ATOM_WINDOW) == check) {
            name = text ? decodeTextProperty(text->type(), text->format(), text->bytes(), atoms,
                                             nullptr)
                              .value_or("")
                        : "";
        }
    }
    checkWindow_ = check;
    if (name == windowManager_)
        return;
    windowManager_ = std::move(name);
    if (windowManagerChanged_)
        windowManagerChanged_();
}

void DesktopWatch::requestActiveWindow(std::optional<xcb_timestamp_t> since) {
    pendingActive_.push_back({X11Property::request(connection_.get(), connection_.root(),
                                                   connection_.atoms()._NET_ACTIVE_WINDOW, 1),
                              since});
    xcb_flush(connection_.get());
}

void DesktopWatch::settle() {
    while (!pendingActive_.empty()) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        const ActiveWindowRead read = pendingActive_.front();
        if (xcb_poll_for_reply(connection_.get(), read.cookie.sequence, &reply, &error) == 0)
            return;
        pendingActive_.pop_front();
        std::free(error);
        takeActiveWindow(static_cast<xcb_get_property_reply_t*>(reply), read.since);
    }
}

void DesktopWatch::takeActiveWindow(xcb_get_property_reply_t* answer,
                                    std::optional<xcb_timestamp_t> since) {
    const Reply<xcb_get_property_reply_t> reply(answer);
    xcb_window_t window = XCB_WINDOW_NONE;
    if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
        xcb_get_property_value_length(reply.get()) >= 4) {
        std::memcpy(&window, xcb_get_property_value(reply.get()), sizeof window);
    }
    history_.noteActive(window, since);
}

void DesktopWatch::arrange(std::vector<ClientWindow>& frontToBack) {
    // The answers still on their way were asked for before this listing: they count.
    if (!pendingActive_.empty()) {
        while (!pendingActive_.empty()) {
            const ActiveWindowRead read = pendingActive_.front();
            pendingActive_.pop_front();
            takeActiveWindow(xcb_get_property_reply(connection_.get(), read.cookie, nullptr),
                             read.since);
        }
        if (queuedEvents_)
            queuedEvents_();
    }
    if (windowManager_ && !stackingFollowsFocus())
        history_.arrange(frontToBack);
}

bool DesktopWatch::stackingFollowsFocus() const {
    if (!windowManager_)
        return false;
    const WindowManagerFacts* facts = knownWindowManager(*windowManager_);
    return facts != nullptr && facts->stackingFollowsFocus;
}

}  // namespace tavrel::x11
