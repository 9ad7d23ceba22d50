#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/Accessibility.h"
#include "platform/EventMonitor.h"
#include "platform/EventTap.h"
#include "platform/Image.h"
#include "platform/MainLoop.h"
#include "platform/PanelSurface.h"
#include "platform/RunningApplications.h"
#include "platform/Screens.h"
#include "platform/WindowServer.h"

namespace tavrel::desktop {
class DesktopEntries;
class KeyMonitors;
}  // namespace tavrel::desktop

namespace tavrel::wayland {

class ForeignToplevels;
class SwayHotkey;
class SwayIpc;
class WaylandAccessibility;
class WaylandApplications;
class WaylandConnection;
class WaylandKeyboard;
class WaylandPanelSurfaces;
class WaylandScreens;
class WaylandSeat;
class WaylandWindowServer;

// The sway backend: one raw Wayland connection (window list, panel, keyboard) and two
// connections to sway's IPC (requests; binding, workspace and output events), all watched by
// the main loop, so every callback runs on the main thread.
class WaylandPlatform {
  public:
    // Nothing, with the reason in `whyNot`, outside a sway session or when sway cannot be
    // reached. `loop` outlives the platform.
    static std::unique_ptr<WaylandPlatform> connect(MainLoop& loop, std::string* whyNot);
    ~WaylandPlatform();
    WaylandPlatform(const WaylandPlatform&) = delete;
    WaylandPlatform& operator=(const WaylandPlatform&) = delete;

    WindowServer& windowServer();
    RunningApplications& runningApplications();
    Accessibility& accessibility();
    EventTaps& eventTaps();
    EventMonitors& eventMonitors();
    Screens& screens();
    PanelSurfaces& panelSurfaces();

    // Where application icons come from (Qt's icon theme).
    void setThemeIconLoader(
        std::function<Image(const std::string& iconName, int pixelSize)> loader);
    // Called once, on the main thread, when sway has gone away.
    void setConnectionLostHandler(std::function<void()> handler);

  private:
    WaylandPlatform(MainLoop& loop, const std::string& swaySocket,
                    std::unique_ptr<WaylandConnection> connection,
                    std::unique_ptr<SwayIpc> commands, std::unique_ptr<SwayIpc> events);
    void seedRecentUse();
    // sway's tree tells the processes of new windows without an app_id: asked once for all
    // the windows described in one turn of the loop.
    void learnProcessesSoon();
    void onSwayEvents();
    void lose();

    MainLoop& loop_;
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<SwayIpc> commands_;
    std::unique_ptr<SwayIpc> events_;
    std::unique_ptr<ForeignToplevels> toplevels_;
    std::unique_ptr<desktop::DesktopEntries> desktopEntries_;
    std::unique_ptr<WaylandWindowServer> windowServer_;
    std::unique_ptr<WaylandApplications> applications_;
    std::unique_ptr<WaylandAccessibility> accessibility_;
    std::unique_ptr<WaylandScreens> screens_;
    std::unique_ptr<desktop::KeyMonitors> monitors_;
    std::unique_ptr<WaylandKeyboard> keyboard_;
    std::unique_ptr<WaylandSeat> seat_;
    std::unique_ptr<SwayHotkey> hotkey_;
    std::unique_ptr<WaylandPanelSurfaces> panels_;
    std::function<void()> connectionLost_;
    bool lost_ = false;
    bool processesAsked_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tavrel::wayland
