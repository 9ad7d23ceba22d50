// tavrel: the window switcher. Picks the desktop's backend (sway on Wayland, or X11), builds it
// with the Qt shell, installs them as the platform and hands over to the application delegate.
#include <QApplication>
#include <QPoint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/AppDelegate.h"
#include "core/Log.h"
#include "platform/Platform.h"
#include "platform/qt/DisplayLossWatch.h"
#include "platform/qt/NoDesktop.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtFileLocations.h"
#include "platform/qt/QtMainLoop.h"
#include "platform/qt/QtPanelSurface.h"
#include "platform/qt/QtProcessInfo.h"
#include "platform/qt/QtScreens.h"
#include "platform/qt/QtStatusBar.h"
#include "platform/qt/QtWorkspace.h"
#include "platform/qt/TerminationSignals.h"
#include "platform/qt/ThemeIcons.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace {

enum class Desktop { sway, x11, none };

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// A Wayland session with sway gets the sway backend, an X11 display the X11 backend. With
// neither (another Wayland compositor, or no display at all) the program still starts
// headless, so that it can say why the hotkey is missing, in its log and on standard error.
Desktop pickDesktop() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = isSet("WAYLAND_DISPLAY") || (type && std::string_view(type) == "wayland");
    if (wayland && isSet("SWAYSOCK"))
        return Desktop::sway;
    if (!wayland && isSet("DISPLAY"))
        return Desktop::x11;
    return Desktop::none;
}

// Qt's own connection serves the tray icon (and, on X11, the panel window).
void chooseQtPlatform(Desktop desktop) {
    const char* platform = desktop == Desktop::sway  ? "wayland;offscreen"
                           : desktop == Desktop::x11 ? "xcb;offscreen"
                                                     : "offscreen";
    setenv("QT_QPA_PLATFORM", platform, 1);
}

// The log's last word: `lastLine`, written out with every line still queued.
void writeLastLine(std::string_view lastLine) {
    tavrel::TavrelLog::shared().line(lastLine);
    tavrel::TavrelLog::shared().drain();
}

// Writes `lastLine` and every line still queued to the log, then ends the process at once,
// status 0. For a desktop that went away: waiting for the event loop to wind down would let Qt
// end the process first, with status 1 and no word in the log.
[[noreturn]] void endWithLogWritten(std::string_view lastLine) {
    // Both the backend and Qt may find the display gone, on different threads: one ends it.
    static std::mutex ending;
    ending.lock();
    writeLastLine(lastLine);
    std::_Exit(0);
}

void endForLostDisplay() {
    endWithLogWritten("X11 connection lost; quitting");
}

void endForLostSway() {
    endWithLogWritten("sway connection lost; quitting");
}

}  // namespace

int main(int argc, char** argv) {
    const Desktop desktop = pickDesktop();
    chooseQtPlatform(desktop);
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavrel"));
    QApplication::setDesktopFileName(QStringLiteral("tavrel"));

    const tavrel::qt::DisplayLossWatch qtDisplayLoss(desktop == Desktop::sway ? &endForLostSway
                                                                              : &endForLostDisplay);

    tavrel::qt::QtMainLoop mainLoop;
    tavrel::qt::QtApplication application;
    tavrel::qt::QtScreens screens;
    tavrel::qt::QtStatusBar statusBar;
    tavrel::qt::QtWorkspace workspace;
    tavrel::qt::QtProcessInfo processInfo;
    tavrel::qt::QtFileLocations fileLocations;
    tavrel::qt::NoDesktop noDesktop;

    tavrel::Platform services;
    services.screens = &screens;
    services.statusBar = &statusBar;
    services.application = &application;
    services.workspace = &workspace;
    services.processInfo = &processInfo;
    services.fileLocations = &fileLocations;
    services.windowServer = &noDesktop;
    services.runningApplications = &noDesktop;
    services.accessibility = &noDesktop;
    services.eventTaps = &noDesktop;
    services.eventMonitors = &noDesktop;

    std::string whyNot;
    std::unique_ptr<tavrel::wayland::WaylandPlatform> sway;
    std::unique_ptr<tavrel::x11::X11Platform> x11;
    std::unique_ptr<tavrel::qt::QtPanelSurfaces> x11Panels;
    if (desktop == Desktop::sway)
        sway = tavrel::wayland::WaylandPlatform::connect(mainLoop, &whyNot);
    if (desktop == Desktop::x11)
        x11 = tavrel::x11::X11Platform::connect(mainLoop, &whyNot);
    // The desktop this is cannot be served: the hotkey's failure lines are followed by why.
    if (desktop == Desktop::none && isSet("WAYLAND_DISPLAY"))
        whyNot =
            "this Wayland desktop is not sway (SWAYSOCK is not set); tavrel serves sway and "
            "X11 desktops";
    if (!sway && !x11 && !whyNot.empty())
        noDesktop.setFailureCause(whyNot);
    if (sway) {
        sway->setThemeIconLoader(&tavrel::qt::ThemeIcons::load);
        // The desktop went away: nothing left to switch.
        sway->setConnectionLostHandler(&endForLostSway);
        services.screens = &sway->screens();
        services.panelSurfaces = &sway->panelSurfaces();
        services.windowServer = &sway->windowServer();
        services.runningApplications = &sway->runningApplications();
        services.accessibility = &sway->accessibility();
        services.eventTaps = &sway->eventTaps();
        services.eventMonitors = &sway->eventMonitors();
    } else {
        x11Panels = std::make_unique<tavrel::qt::QtPanelSurfaces>();
        services.panelSurfaces = x11Panels.get();
    }
    if (x11) {
        x11->setDevicePixelRatio(qtApplication.devicePixelRatio());
        x11->setThemeIconLoader(&tavrel::qt::ThemeIcons::load);
        // The desktop went away: nothing left to switch.
        x11->setConnectionLostHandler(&endForLostDisplay);
        x11Panels->setKeyboardHandlers([&x11] { x11->grabKeyboard(); },
                                       [&x11] { x11->releaseKeyboard(); });
        x11Panels->setUnmapper([&x11](std::uint32_t window) { x11->unmapPanel(window); });
        // The key that opens the switcher says where the pointer is: no need to ask.
        screens.setPointerAtInput([&x11]() -> std::optional<QPoint> {
            if (const auto pointer = x11->pointerAtInput())
                return QPoint(pointer->first, pointer->second);
            return std::nullopt;
        });
        // The panel stays up until the window manager has acted on the activation.
        x11->setActivationRequestedHandler(
            [&x11Panels](std::uint32_t window) { x11Panels->activationRequested(window); });
        services.windowServer = &x11->windowServer();
        services.runningApplications = &x11->runningApplications();
        services.accessibility = &x11->accessibility();
        services.eventTaps = &x11->eventTaps();
        services.eventMonitors = &x11->eventMonitors();
    }
    // A desktop without a tray can still end the program cleanly: kill, or Ctrl+C in a terminal.
    // The event loop is alive then, so the program ends as "Quit tavrel" ends it.
    const tavrel::qt::TerminationSignals terminationSignals(mainLoop, [](const char* name) {
        writeLastLine(std::string(name) + " received; quitting");
        tavrel::terminateApplication();
    });
    tavrel::installPlatform(services);
    return tavrel::runApplication();
}
