#pragma once
#include <xcb/xcb.h>

#include <functional>
#include <optional>

#include "platform/Accessibility.h"

namespace tavrel::x11 {

class DesktopWatch;
class X11Connection;
class X11WindowList;
struct ClientWindow;

// The accessibility interface over X11: an application is its process id, its windows
// are its client windows front to back. Window operations speak EWMH to a window manager
// (as a pager does) and act on the windows directly without one. Every failure comes
// back as a result code; a window that has gone is "cannot complete".
class X11Accessibility final : public Accessibility {
  public:
    // `order`, when given, puts an application's windows front to back as the switcher lists
    // them. `requests`, when given, carries the requests to the window manager (see
    // sendToWindowManager); `connection` otherwise.
    X11Accessibility(X11Connection& connection, X11WindowList& windows,
                     DesktopWatch* order = nullptr, X11Connection* requests = nullptr);

    AXElement createApplication(std::int32_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                               Value& value) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const Value& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError isAttributeSettable(const AXElement& element, const std::string& attribute,
                                bool& settable) override;
    // Trusted whenever the display answers: X11 asks no permission of a switcher.
    bool isProcessTrusted() override;
    // There is nothing to prompt for.
    bool isProcessTrustedWithOptions(bool prompt) override;

    // The time of the user's input being handled, XCB_CURRENT_TIME when none: a window made
    // main carries it, and the server is asked for the time only without it.
    void setInputTime(std::function<xcb_timestamp_t()> inputTime) {
        inputTime_ = std::move(inputTime);
    }
    // Runs work after the current event: a raise waits there for the activation that usually
    // follows, to leave in one write with it. Without it, each request leaves at once.
    void setLater(std::function<void(std::function<void()>)> later) { later_ = std::move(later); }
    // Takes a window of tavrel's own off the screen over the connection that carries the
    // requests to the window manager, after the current event: a switch's panel leaves in one
    // write with the switch's requests, ahead of them, and the server takes them in that order.
    void unmapOwnWindow(xcb_window_t window);
    // Told each time the window manager has been asked to activate a window.
    void setActivationRequestedHandler(std::function<void(xcb_window_t window)> handler) {
        activationRequested_ = std::move(handler);
    }

  private:
    AXError copyWindows(const AXElement& application, Value& value);
    AXError setMinimized(xcb_window_t window, bool minimized);
    AXError makeMain(xcb_window_t window);
    AXError raise(xcb_window_t window);
    void askToRaise(xcb_window_t window);
    // Sends an EWMH request about `window` to the window manager.
    void sendToWindowManager(xcb_window_t window, xcb_atom_t type, const std::uint32_t (&data)[5]);
    void flushRequests();
    // Flushes after the current event, when whatever it causes has been asked for too.
    void flushLater();
    AXError check(xcb_void_cookie_t cookie);

    X11Connection& connection_;
    X11WindowList& windows_;
    DesktopWatch* order_;
    X11Connection& requests_;
    std::function<xcb_timestamp_t()> inputTime_;
    std::function<void(xcb_window_t)> activationRequested_;
    std::function<void(std::function<void()>)> later_;
    // A raise left to the activation that usually follows it (see raise).
    std::optional<xcb_window_t> pendingRaise_;
};

}  // namespace tavrel::x11
