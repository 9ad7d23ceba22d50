#pragma once
#include <xcb/xcb.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/ActivationHistory.h"

namespace tavrel::x11 {

class X11Connection;

// Follows what the window manager says on the root window, over one connection: which
// window manager runs (read again whenever the root names another check window or the
// check window goes) and which windows it made active, in order. Active windows are read
// without waiting for the answer: the switch's listing never waits for a round trip of its
// own.
class DesktopWatch {
  public:
    explicit DesktopWatch(X11Connection& connection);
    DesktopWatch(const DesktopWatch&) = delete;
    DesktopWatch& operator=(const DesktopWatch&) = delete;

    // Takes note of one event of the connection; true when it was about what this follows.
    bool handleEvent(const xcb_generic_event_t* event);
    // Takes in the answers about active windows that have arrived.
    void settle();
    // The running window manager's _NET_WM_NAME (empty when it has none); nothing without a
    // live window manager.
    const std::optional<std::string>& windowManager() const { return windowManager_; }
    // The running window manager puts the window it activates in front of its stacking
    // list: activating a window raises it.
    bool stackingFollowsFocus() const;
    // Called after another window manager took over, or the last one went.
    void setWindowManagerChangedHandler(std::function<void()> handler) {
        windowManagerChanged_ = std::move(handler);
    }
    // Orders a front-to-back listing as the user means it: under a window manager whose
    // stacking list does not follow focus, most recently active first.
    void arrange(std::vector<ClientWindow>& frontToBack);
    // Called when waiting for an answer has read events off the connection outside its own
    // event handling: they wait in xcb's queue.
    void setQueuedEventsHandler(std::function<void()> handler) {
        queuedEvents_ = std::move(handler);
    }

  private:
    // An answer on its way about the active window since the change at `since`.
    struct ActiveWindowRead {
        xcb_get_property_cookie_t cookie;
        std::optional<xcb_timestamp_t> since;
    };

    void readWindowManager();
    void requestActiveWindow(std::optional<xcb_timestamp_t> since);
    void takeActiveWindow(xcb_get_property_reply_t* reply, std::optional<xcb_timestamp_t> since);

    X11Connection& connection_;
    xcb_window_t checkWindow_ = XCB_WINDOW_NONE;
    std::optional<std::string> windowManager_;
    ActivationHistory history_;
    std::deque<ActiveWindowRead> pendingActive_;
    std::function<void()> windowManagerChanged_;
    std::function<void()> queuedEvents_;
};

}  // namespace tavrel::x11
