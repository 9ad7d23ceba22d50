#pragma once
#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace tavrel::x11::test {

// A private Xvfb on a free display, optionally with openbox, and a connection of the
// test's own that watches the root window. Everything it started ends with it.
class XServer {
  public:
    // `screen` is Xvfb's WIDTHxHEIGHTxDEPTH.
    explicit XServer(const std::string& screen = "1280x1024x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool started() const { return connection_ != nullptr; }
    const std::string& display() const { return display_; }
    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }

    // Starts a window manager (openbox unless `command` names another) and returns once it
    // manages the screen.
    bool startWindowManager(const std::vector<std::string>& command = {"openbox", "--sm-disable"});
    // The running window manager's process, if any.
    pid_t windowManagerPid() const { return windowManager_ ? windowManager_->pid() : -1; }
    void stopWindowManager();
    // Ends the server itself.
    void stop();

    // Waits until `done()` holds, re-checking whenever the root's properties or children
    // change. False when it did not hold within the safety bound.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    // Whether a live EWMH window manager runs.
    bool windowManagerRuns();
    xcb_atom_t atom(const std::string& name);
    // A round trip on the test's connection.
    void sync();
    // Whether the window manager lists the window among its clients.
    bool clientListHolds(xcb_window_t window);

  private:
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

}  // namespace tavrel::x11::test
