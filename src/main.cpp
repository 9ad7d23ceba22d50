// tavrel: the window switcher on an X11 desktop. Builds the Qt shell and the X11 backend,
// installs them as the platform and hands over to the application delegate.
#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/AppDelegate.h"
#include "core/Log.h"
#include "platform/Platform.h"
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

// Ends the program like "Quit tavrel", saying why in the log first.
void quitBecause(const std::string& reason) {
    tavrel::TavrelLog::shared().line(reason + "; quitting");
    tavrel::terminateApplication();
}

}  // namespace

int main(int argc, char** argv) {
    chooseX11OrHeadless();
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavrel"));
    QApplication::setDesktopFileName(QStringLiteral("tavrel"));

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
        // The desktop went away: nothing left to switch, so end like a quit, log written out.
        x11->setConnectionLostHandler([] { quitBecause("X11 connection lost"); });
        panels.setKeyboardHandlers([&x11] { x11->grabKeyboard(); },
                                   [&x11] { x11->releaseKeyboard(); });
        services.windowServer = &x11->windowServer();
        services.runningApplications = &x11->runningApplications();
        services.accessibility = &x11->accessibility();
        services.eventTaps = &x11->eventTaps();
        services.eventMonitors = &x11->eventMonitors();
    }
    // A desktop without a tray can still end the program cleanly: kill, or Ctrl+C in a terminal.
    const tavrel::qt::TerminationSignals terminationSignals(
        mainLoop, [](const char* name) { quitBecause(std::string(name) + " received"); });
    tavrel::installPlatform(services);
    return tavrel::runApplication();
}
