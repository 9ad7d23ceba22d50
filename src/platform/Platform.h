#pragma once

#include "platform/Accessibility.h"
#include "platform/Application.h"
#include "platform/EventMonitor.h"
#include "platform/EventTap.h"
#include "platform/FileLocations.h"
#include "platform/PanelSurface.h"
#include "platform/ProcessInfo.h"
#include "platform/RunningApplications.h"
#include "platform/Screens.h"
#include "platform/StatusBar.h"
#include "platform/WindowServer.h"

namespace tavrel {

// The services the core calls, installed once by main (or by a test) before the core runs.
// Not owned here: whoever installs them keeps them alive for as long as the core runs.
struct Platform {
    WindowServer* windowServer = nullptr;
    ProcessInfo* processInfo = nullptr;
    RunningApplications* runningApplications = nullptr;
    Accessibility* accessibility = nullptr;
    EventTaps* eventTaps = nullptr;
    EventMonitors* eventMonitors = nullptr;
    Screens* screens = nullptr;
    PanelSurfaces* panelSurfaces = nullptr;
    StatusBar* statusBar = nullptr;
    Application* application = nullptr;
    Workspace* workspace = nullptr;
    FileLocations* fileLocations = nullptr;
};

Platform& platform();
void installPlatform(const Platform& services);

}  // namespace tavrel
