#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Accessibility.h"
#include "platform/EventMonitor.h"
#include "platform/EventTap.h"
#include "platform/Image.h"
#include "platform/MainLoop.h"
#include "platform/RunningApplications.h"
#include "platform/WindowServer.h"
#include "platform/x11/LoopTimer.h"

namespace tavrel::desktop {
class DesktopEntries;
class KeyMonitors;
}  // namespace tavrel::desktop

namespace tavrel::x11 {

class CompoundTextDecoder;
class DesktopWatch;
class X11Accessibility;
class X11RunningApplications;
class X11Connection;
class X11Keyboard;
class X11WindowList;
class X11WindowServer;

// The X11 backend: owns the connections to the display and the services over them. Every
// callback runs on the main thread: the connections are watched by the given main loop.
class X11Platform {
  public:
    // Nothing, with the reason in `whyNot`, without an X11 display or in a Wayland session.
    // `loop` outlives the platform.
    static std::unique_ptr<X11Platform> connect(MainLoop& loop, std::string* whyNot);
    ~X11Platform();
    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

    WindowServer& windowServer();
    RunningApplications& runningApplications();
    Accessibility& accessibility();
    EventTaps& eventTaps();
    EventMonitors& eventMonitors();

    // While the hotkey's tap holds the keyboard (from the Super+Tab press until Super is
    // released) every key goes to the tap and the key monitors. The panel takes the
    // keyboard itself when it shows without the hotkey, and lets go when it hides.
    bool grabKeyboard();
    void releaseKeyboard();

    // Screen pixels per point; bounds and icon sizes follow it.
    void setDevicePixelRatio(double ratio);
    // Where the pointer was, in root pixels, when the key being handled was pressed or
    // released; nothing between key events.
    std::optional<std::pair<std::int16_t, std::int16_t>> pointerAtInput() const;
    // Where application icons come from when their windows carry none (Qt's icon theme).
    void setThemeIconLoader(
        std::function<Image(const std::string& iconName, int pixelSize)> loader);
    // Called once, on the main thread, when the X server has gone away.
    void setConnectionLostHandler(std::function<void()> handler);
    // Takes the panel's window (made over another connection) off the screen together with
    // the switch's requests to the window manager, ahead of them.
    void unmapPanel(std::uint32_t window);
    // Called each time the window manager has been asked to activate a window, right after.
    void setActivationRequestedHandler(std::function<void(std::uint32_t window)> handler);

  private:
    X11Platform(MainLoop& loop, std::unique_ptr<X11Connection> connection,
                std::unique_ptr<X11Connection> keyboardConnection);
    // A connection's file descriptor and what runs when it has data.
    struct Watched {
        int fd;
        std::function<void()> onReadable;
    };

    void watch(X11Connection& connection, std::function<void()> onEvents);
    void checkConnection(X11Connection& connection);
    void holdBack();
    void resume();

    MainLoop& loop_;
    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<CompoundTextDecoder> decoder_;
    std::unique_ptr<X11WindowList> windowList_;
    std::unique_ptr<X11WindowServer> windowServer_;
    std::unique_ptr<desktop::DesktopEntries> desktopEntries_;
    std::unique_ptr<X11RunningApplications> runningApplications_;
    std::unique_ptr<X11Accessibility> accessibility_;
    // All keyboard input comes over a connection of its own, so that it arrives in the
    // server's order and never waits behind a window listing.
    std::unique_ptr<X11Connection> keyboardConnection_;
    // What the window manager says on the root, heard in the keyboard's order.
    std::unique_ptr<DesktopWatch> desktopWatch_;
    std::unique_ptr<desktop::KeyMonitors> eventMonitors_;
    std::unique_ptr<X11Keyboard> keyboard_;
    std::function<void()> connectionLost_;
    std::vector<Watched> watched_;
    // Ends the pause after a switch (see holdBack).
    LoopTimer resumeTimer_;
    // Work posted to the loop runs only while the platform lives.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool lost_ = false;
};

}  // namespace tavrel::x11
