#include "platform/x11/X11Platform.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "platform/desktop/DesktopEntries.h"
#include "platform/desktop/KeyMonitors.h"
#include "platform/x11/CompoundTextDecoder.h"
#include "platform/x11/DesktopWatch.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11RunningApplications.h"
#include "platform/x11/X11WindowList.h"
#include "platform/x11/X11WindowServer.h"

namespace tavrel::x11 {
namespace {

// The size the panel shows application icons at.
constexpr double kIconPoints = 22.0;
// How long the connections are left unread once a switch has ended: the window manager's
// work on the activation takes a few milliseconds at most.
constexpr std::chrono::milliseconds kHoldBackAfterSwitch{5};

bool isWaylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (type != nullptr && std::string_view(type) == "wayland") ||
           (wayland != nullptr && *wayland != '\0');
}

}  // namespace

std::unique_ptr<X11Platform> X11Platform::connect(MainLoop& loop, std::string* whyNot) {
    if (isWaylandSession()) {
        if (whyNot != nullptr)
            *whyNot = "a Wayland session";
        return nullptr;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        if (whyNot != nullptr)
            *whyNot = "no X11 display";
        return nullptr;
    }
    auto connection = X11Connection::open(display, whyNot);
    if (!connection)
        return nullptr;
    auto keyboardConnection = X11Connection::open(display, whyNot);
    if (!keyboardConnection)
        return nullptr;
    return std::unique_ptr<X11Platform>(
        new X11Platform(loop, std::move(connection), std::move(keyboardConnection)));
}

X11Platform::X11Platform(MainLoop& loop, std::unique_ptr<X11Connection> connection,
                         std::unique_ptr<X11Connection> keyboardConnection)
    : loop_(loop),
      connection_(std::move(connection)),
      keyboardConnection_(std::move(keyboardConnection)),
      resumeTimer_(loop, [this] { resume(); }) {
    decoder_ = CompoundTextDecoder::open(std::getenv("DISPLAY"));
    desktopWatch_ = std::make_unique<DesktopWatch>(*keyboardConnection_);
    windowList_ = std::make_unique<X11WindowList>(*connection_, decoder_.get());
    windowServer_ = std::make_unique<X11WindowServer>(*windowList_, desktopWatch_.get());
    desktopEntries_ =
        std::make_unique<desktop::DesktopEntries>(desktop::DesktopEntries::userDataFolders());
    runningApplications_ =
        std::make_unique<X11RunningApplications>(*windowList_, *connection_, *desktopEntries_);
    accessibility_ = std::make_unique<X11Accessibility>(
        *connection_, *windowList_, desktopWatch_.get(), keyboardConnection_.get());
    eventMonitors_ = std::make_unique<desktop::KeyMonitors>();
    keyboard_ =
        std::make_unique<X11Keyboard>(*keyboardConnection_, *eventMonitors_, *desktopWatch_, loop_);
    desktopWatch_->setWindowManagerChangedHandler([this] { keyboard_->windowManagerChanged(); });
    // A commit made by a key carries that key's time: asking the server for the time
    // would cost a round trip while the window manager is busy.
    accessibility_->setInputTime([this] { return keyboard_->inputTime(); });
    accessibility_->setLater([this](std::function<void()> work) { loop_.post(std::move(work)); });
    // The listing connection hears of changes to listed windows (and of errors of
    // requests nobody waits for, which need no answer).
    connection_->setEventHandler(
        [this](const xcb_generic_event_t* event) { windowList_->handleEvent(event); });
    watch(*connection_, [this] {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_->get())})
            windowList_->handleEvent(event.get());
    });
    watch(*keyboardConnection_, [this] { keyboard_->processEvents(); });
    const auto processKeyboardLater = [this, alive = std::weak_ptr<bool>(alive_)] {
        loop_.post([this, alive] {
            if (alive.expired())
                return;
            keyboard_->processEvents();
            checkConnection(*keyboardConnection_);
        });
    };
    keyboard_->setQueuedEventsHandler(processKeyboardLater);
    keyboard_->setSwitchEndedHandler([this] { holdBack(); });
    desktopWatch_->setQueuedEventsHandler(processKeyboardLater);
}

X11Platform::~X11Platform() {
    for (const Watched& watched : watched_)
        loop_.unwatch(watched.fd);
}

WindowServer& X11Platform::windowServer() {
    return *windowServer_;
}

RunningApplications& X11Platform::runningApplications() {
    return *runningApplications_;
}

Accessibility& X11Platform::accessibility() {
    return *accessibility_;
}

EventTaps& X11Platform::eventTaps() {
    return *keyboard_;
}

EventMonitors& X11Platform::eventMonitors() {
    return *eventMonitors_;
}

bool X11Platform::grabKeyboard() {
    return keyboard_->grabKeyboard();
}

void X11Platform::releaseKeyboard() {
    keyboard_->releaseKeyboard();
}

void X11Platform::setDevicePixelRatio(double ratio) {
    if (!std::isfinite(ratio) || ratio <= 0)
        return;
    windowServer_->setDevicePixelRatio(ratio);
    runningApplications_->setIconPixels(static_cast<int>(std::lround(kIconPoints * ratio)));
}

std::optional<std::pair<std::int16_t, std::int16_t>> X11Platform::pointerAtInput() const {
    return keyboard_->inputPointer();
}

void X11Platform::setThemeIconLoader(
    std::function<Image(const std::string& iconName, int pixelSize)> loader) {
    runningApplications_->setThemeIconLoader(std::move(loader));
}

void X11Platform::setConnectionLostHandler(std::function<void()> handler) {
    connectionLost_ = std::move(handler);
}

void X11Platform::unmapPanel(std::uint32_t window) {
    accessibility_->unmapOwnWindow(window);
}

void X11Platform::setActivationRequestedHandler(std::function<void(std::uint32_t window)> handler) {
    accessibility_->setActivationRequestedHandler(std::move(handler));
}

void X11Platform::watch(X11Connection& connection, std::function<void()> onEvents) {
    Watched watched{connection.fileDescriptor(),
                    [this, &connection, onEvents = std::move(onEvents)] {
                        onEvents();
                        checkConnection(connection);
                    }};
    loop_.watchReadable(watched.fd, watched.onReadable);
    watched_.push_back(std::move(watched));
}

// Once a switch has ended, the window manager and the server are at work on its activation,
// and every change they announce would wake tavrel on two connections (and have it ask for
// more) while they need the processors. What they announce meanwhile waits a moment.
void X11Platform::holdBack() {
    if (lost_ || resumeTimer_.running())
        return;
    for (const Watched& watched : watched_)
        loop_.unwatch(watched.fd);
    resumeTimer_.start(kHoldBackAfterSwitch, false);
}

void X11Platform::resume() {
    if (lost_)
        return;
    // A handler may find its connection broken, which ends the watching of all of them.
    const std::vector<Watched> watched = watched_;
    for (const Watched& each : watched)
        loop_.watchReadable(each.fd, each.onReadable);
    // Events read off a connection before the pause may wait in xcb's queue, where the
    // descriptor's readiness does not tell of them.
    for (const Watched& each : watched) {
        if (!lost_)
            each.onReadable();
    }
}

void X11Platform::checkConnection(X11Connection& connection) {
    if (!connection.broken() || lost_)
        return;
    lost_ = true;
    resumeTimer_.stop();
    for (const Watched& watched : watched_)
        loop_.unwatch(watched.fd);
    watched_.clear();
    if (connectionLost_)
        loop_.post(connectionLost_);
}

}  // namespace tavrel::x11
