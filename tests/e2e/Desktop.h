#pragma once
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TavrelProcess.h"
#include "XServer.h"

namespace tavrel::e2e {

using x11::test::ChildProcess;
using x11::test::XServer;

struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A private desktop as a user meets it: an X server (one screen, or one wide screen split
// into two monitors), optionally a window manager and a tray host, and the user's hands on
// keyboard and mouse through XTest. Everything it started ends with it.
class Desktop {
  public:
    struct Options {
        bool windowManager = true;
        bool tray = false;
        bool twoMonitors = false;
        // The tray starts this long after tavrel has launched (the session starts it), as a
        // panel does that comes up late or restarts.
        int trayDelayMs = 0;
        // The tray's plain background (0xRRGGBB); its theme's colour when not given.
        std::optional<std::uint32_t> trayBackground = std::nullopt;
        // The window manager, by its command: openbox, xfwm4, metacity, mutter, marco,
        // fluxbox, i3, icewm or awesome, each with its default settings. Any but openbox runs
        // in a session of its own: a private home folder and session bus.
        std::string windowManagerName = "openbox";
        // The size of one monitor, in pixels; 1280 x 1024 when not given.
        int monitorWidth = 0;
        int monitorHeight = 0;
    };
    explicit Desktop(Options options);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Empty when everything came up; otherwise what did not.
    const std::string& failure() const { return failure_; }
    const std::string& display() const { return server_->display(); }
    XServer& server() { return *server_; }
    xcb_connection_t* connection() const { return server_->connection(); }

    // The keyboard, by keysym names as xmodmap knows them ("Super_L", "Tab", "a").
    void press(const std::string& key);
    void release(const std::string& key);
    void tap(const std::string& key);
    void type(const std::string& text);  // lower-case ASCII letters, digits and spaces
    std::uint8_t keycode(const std::string& key);
    // Starts a tray host (trayer), ending the one that runs; false when it does not take the
    // tray selection.
    bool startTray(std::optional<std::uint32_t> background = std::nullopt);

    // Whether some client holds the Super+Tab grab (tries to take it, and gives it back).
    bool superTabTaken();
    // The server's keyboard auto-repeat for held keys.
    bool setAutoRepeat(int delayMs, int ratePerSecond);
    void movePointer(int x, int y);
    void click(int x, int y);
    // A round trip: every request and fake event before it has been handled by the server.
    void sync() { server_->sync(); }
    // Runs a shell command as the user of the window manager's session would (its home, its
    // session bus, WM_PID naming the window manager's process); true when it succeeded.
    bool runInSession(const std::string& command);

    // Waits until `done()` holds, re-checking on every event of the desktop and at least
    // every few milliseconds (pixels change without telling anyone). False at the timeout.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

    xcb_window_t activeWindow();
    // Asks the window manager to activate a window, as a pager would.
    void activate(xcb_window_t window);
    // The window manager's client windows, bottom to top.
    std::vector<xcb_window_t> clientsStacked();
    xcb_window_t inputFocus();
    // Of the given windows, the one whose frame is highest in the stacking order.
    xcb_window_t topmost(const std::vector<xcb_window_t>& windows);
    bool viewable(xcb_window_t window);
    // The top-level windows marked with a process's pid, bottom to top.
    std::vector<xcb_window_t> topLevelsOf(std::uint32_t pid);
    // The mapped override-redirect top-level windows of a process, front-most last.
    std::vector<xcb_window_t> shownPopups(std::uint32_t pid);
    // Closes the connection of the client that made `window`, as xkill does.
    void killClient(xcb_window_t window);
    std::optional<Geometry> geometry(xcb_window_t window);
    // A process's viewable window inside another client's window (a tray icon), in root
    // coordinates.
    std::optional<Geometry> embeddedWindow(std::uint32_t pid);
    // One column of a window's pixels (0xRRGGBB), top to bottom.
    std::vector<std::uint32_t> column(xcb_window_t window, int x, int height);
    // The pixels (0xRRGGBB) of a part of the screen, row by row.
    std::vector<std::uint32_t> screenPixels(const Geometry& part);
    // The monitors as RandR reports them.
    std::vector<Geometry> monitors();

  private:
    bool startWindowManagerInSession(const std::string& name);
    // `argv` run with the session's environment.
    std::vector<std::string> inSession(const std::vector<std::string>& argv) const;
    xcb_window_t topLevelOf(xcb_window_t window);
    std::optional<Geometry> embeddedWindowUnder(xcb_window_t parent, std::uint32_t pid);
    void fakeKey(std::uint8_t type, const std::string& key);
    std::vector<std::uint32_t> pixels(xcb_window_t window, const Geometry& part);
    std::uint32_t cardinal(xcb_window_t window, const std::string& property);

    std::unique_ptr<TemporaryFolder> home_;
    std::unique_ptr<ChildProcess> bus_;
    std::string busAddress_;
    std::unique_ptr<XServer> server_;
    std::unique_ptr<ChildProcess> tray_;
    std::string failure_;
};

}  // namespace tavrel::e2e
