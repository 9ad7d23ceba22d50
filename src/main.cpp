// tavrel: the window switcher on an X11 desktop. Builds the Qt shell and the X11 backend,
// installs them as the platform and hands over to the application delegate.
#include <QApplication>
#include <QPoint>
#include <cstdlib>
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
#include "platform/x11/X11Platform.h"

namespace {

// The panel and the key grabs live on X11, also inside a Wayland session (through XWayland).
// With no display at all the program still starts headless, so that it can say why the
// hotkey is missing, in its log and on standard error.
void chooseX11OrHeadless() {
    const char* display = std::getenv("DISPLAY");
    setenv("QT_QPA_PLATFORM", display && *display ? "xcb;offscreen" : "offscreen", 1);
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

}  // namespace

int main(int argc, char** argv) {
    chooseX11OrHeadless();
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavrel"));
    QApplication::setDesktopFileName(QStringLiteral("tavrel"));

    const tavrel::qt::DisplayLossWatch qtDisplayLoss(&endForLostDisplay);

    tavrel::qt::QtMainLoop mainLoop;
    tavrel::qt::QtApplication application;
    tavrel::qt::QtScreens screens;
    tavrel::qt::QtStatusBar statusBar;
    tavrel::qt::QtPanelSurfaces panels;
    tavrel::qt::QtWorkspace workspace;
    tavrel::qt::QtProcessInfo processInfo;
    tavrel::qt::QtFileLocations fileLocations;
    tavrel::qt::NoDesktop noDesktop;

    tavrel::Platform services;
    services.screens = &screens;
    services.panelSurfaces = &panels;
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
    const std::unique_ptr<tavrel::x11::X11Platform> x11 =
        tavrel::x11::X11Platform::connect(mainLoop, &whyNot);
    if (x11) {
        x11->setDevicePixelRatio(qtApplication.devicePixelRatio());
        x11->setThemeIconLoader(&tavrel::qt::ThemeIcons::load);
        // The desktop went away: nothing left to switch.
        x11->setConnectionLostHandler(&endForLostDisplay);
        panels.setKeyboardHandlers([&x11] { x11->grabKeyboard(); },
                                   [&x11] { x11->releaseKeyboard(); });
        // The key that opens the switcher says where the pointer is: no need to ask.
        screens.setPointerAtInput([&x11]() -> std::optional<QPoint> {
            if (const auto pointer = x11->pointerAtInput())
                return QPoint(pointer->first, pointer->second);
            return std::nullopt;
        });
        // The panel stays up until the window manager has acted on the activation.
        x11->setActivationRequestedHandler(
            [&panels](std::uint32_t window) { panels.activationRequested(window); });
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
