#include "platform/wayland/WaylandPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/desktop/DesktopEntries.h"
#include "platform/desktop/KeyMonitors.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/SwayHotkey.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WaylandAccessibility.h"
#include "platform/wayland/WaylandApplications.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandPanelSurface.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/WaylandSeat.h"
#include "platform/wayland/WaylandWindowServer.h"

namespace tavrel::wayland {
namespace {

// The size the panel shows application icons at.
constexpr double kIconPoints = 22.0;
// The lock of the program serving the sway behind `socket`: in the user's runtime folder,
// named after the socket, which names one sway.
std::string lockPathFor(const std::string& socket) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    return folder + "/tavrel-" + std::filesystem::path(socket).filename().string() + ".lock";
}

// sway 1.7 has no output events; outputs are followed through wl_output instead.
constexpr const char* kSubscription = R"(["binding","workspace"])";

}  // namespace

std::unique_ptr<WaylandPlatform> WaylandPlatform::connect(MainLoop& loop, std::string* whyNot) {
    const char* socket = std::getenv("SWAYSOCK");
    if (socket == nullptr || *socket == '\0') {
        if (whyNot != nullptr)
            *whyNot = "not a sway session (SWAYSOCK is not set)";
        return nullptr;
    }
    auto connection = WaylandConnection::connect(whyNot);
    if (!connection)
        return nullptr;
    auto commands = SwayIpc::connect(socket, whyNot);
    auto events = commands ? SwayIpc::connect(socket, whyNot) : nullptr;
    if (!events)
        return nullptr;
    const auto reply = events->request(SwayMessage::subscribe, kSubscription);
    if (!reply || !subscribed(*reply)) {
        if (whyNot != nullptr)
            *whyNot = "sway refused the IPC event subscription: " + reply.value_or("(no reply)");
        return nullptr;
    }
    return std::unique_ptr<WaylandPlatform>(new WaylandPlatform(
        loop, socket, std::move(connection), std::move(commands), std::move(events)));
}

WaylandPlatform::WaylandPlatform(MainLoop& loop, const std::string& swaySocket,
                                 std::unique_ptr<WaylandConnection> connection,
                                 std::unique_ptr<SwayIpc> commands, std::unique_ptr<SwayIpc> events)
    : loop_(loop),
      connection_(std::move(connection)),
      commands_(std::move(commands)),
      events_(std::move(events)) {
    toplevels_ = std::make_unique<ForeignToplevels>(connection_->toplevelManager());
    desktopEntries_ =
        std::make_unique<desktop::DesktopEntries>(desktop::DesktopEntries::userDataFolders());
    windowServer_ = std::make_unique<WaylandWindowServer>(*toplevels_);
    applications_ = std::make_unique<WaylandApplications>(*toplevels_, *desktopEntries_);
    accessibility_ = std::make_unique<WaylandAccessibility>(*toplevels_, *connection_);
    screens_ = std::make_unique<WaylandScreens>(*commands_);
    monitors_ = std::make_unique<desktop::KeyMonitors>();
    keyboard_ = std::make_unique<WaylandKeyboard>(*monitors_, loop_);
    seat_ = std::make_unique<WaylandSeat>(connection_->seat(), *keyboard_);
    hotkey_ = std::make_unique<SwayHotkey>(*commands_, *keyboard_, lockPathFor(swaySocket));
    keyboard_->setHotkeyInstaller([this](std::string* whyNot) { return hotkey_->install(whyNot); });
    connection_->setOutputsChangedHandler([this] { screens_->refresh(); });
    panels_ = std::make_unique<WaylandPanelSurfaces>(*connection_, *screens_, loop_);
    seat_->setPointerHandler({[this](wl_surface* surface, double x, double y, bool pressed) {
                                  if (WaylandPanelSurface* panel = panels_->panelOf(surface))
                                      panel->pointerButton(x, y, pressed);
                              },
                              [this](wl_surface* surface, double dy) {
                                  if (WaylandPanelSurface* panel = panels_->panelOf(surface))
                                      panel->scrollBy(dy);
                              }});

    // The windows there are (and the seat's devices), then sway's memory of their order.
    connection_->roundtrip();
    connection_->roundtrip();
    seedRecentUse();
    toplevels_->setProcessWantedHandler([this] { learnProcessesSoon(); });
    screens_->refresh();
    int scale = 1;
    for (const auto& output : connection_->outputs())
        scale = std::max(scale, static_cast<int>(output->scale));
    applications_->setIconPixels(static_cast<int>(std::lround(kIconPoints * scale)));

    loop_.watchReadable(connection_->fileDescriptor(), [this] {
        if (!connection_->dispatch())
            lose();
    });
    loop_.watchReadable(events_->fileDescriptor(), [this] { onSwayEvents(); });
}

WaylandPlatform::~WaylandPlatform() {
    loop_.unwatch(connection_->fileDescriptor());
    loop_.unwatch(events_->fileDescriptor());
}

void WaylandPlatform::seedRecentUse() {
    if (const auto tree = commands_->request(SwayMessage::getTree, "")) {
        const std::vector<TreeWindow> windows = windowsByFocus(*tree);
        toplevels_->seed(windows);
        toplevels_->learnProcesses(windows);
    }
}

void WaylandPlatform::learnProcessesSoon() {
    if (processesAsked_)
        return;
    processesAsked_ = true;
    loop_.post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        processesAsked_ = false;
        if (const auto tree = commands_->request(SwayMessage::getTree, ""))
            toplevels_->learnProcesses(windowsByFocus(*tree));
    });
}

void WaylandPlatform::onSwayEvents() {
    bool screensChanged = false;
    for (const SwayIpc::Message& event : events_->readEvents()) {
        hotkey_->handleEvent(event);
        screensChanged = screensChanged || event.type == kSwayWorkspaceEvent;
    }
    if (screensChanged)
        screens_->refresh();
    if (events_->broken() || commands_->broken())
        lose();
}

void WaylandPlatform::lose() {
    if (lost_)
        return;
    lost_ = true;
    loop_.unwatch(connection_->fileDescriptor());
    loop_.unwatch(events_->fileDescriptor());
    if (connectionLost_)
        loop_.post(connectionLost_);
}

WindowServer& WaylandPlatform::windowServer() {
    return *windowServer_;
}

RunningApplications& WaylandPlatform::runningApplications() {
    return *applications_;
}

Accessibility& WaylandPlatform::accessibility() {
    return *accessibility_;
}

EventTaps& WaylandPlatform::eventTaps() {
    return *keyboard_;
}

EventMonitors& WaylandPlatform::eventMonitors() {
    return *monitors_;
}

Screens& WaylandPlatform::screens() {
    return *screens_;
}

PanelSurfaces& WaylandPlatform::panelSurfaces() {
    return *panels_;
}

void WaylandPlatform::setThemeIconLoader(
    std::function<Image(const std::string& iconName, int pixelSize)> loader) {
    applications_->setThemeIconLoader(std::move(loader));
}

void WaylandPlatform::setConnectionLostHandler(std::function<void()> handler) {
    connectionLost_ = std::move(handler);
}

}  // namespace tavrel::wayland
