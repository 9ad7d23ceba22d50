#pragma once
#include "platform/Platform.h"
#include "platform/fake/CallLog.h"
#include "platform/fake/FakeAccessibility.h"
#include "platform/fake/FakeEventMonitors.h"
#include "platform/fake/FakeEventTaps.h"
#include "platform/fake/FakeFileLocations.h"
#include "platform/fake/FakePanelSurface.h"
#include "platform/fake/FakeProcessInfo.h"
#include "platform/fake/FakeRunningApplications.h"
#include "platform/fake/FakeScreens.h"
#include "platform/fake/FakeShell.h"
#include "platform/fake/FakeWindowServer.h"

namespace tavrel::fake {

// Every service in memory, sharing one call log. Installs itself as the platform while it
// lives; the previous platform comes back when it goes.
class FakePlatform {
  public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    CallLog calls;
    FakeWindowServer windowServer{calls};
    FakeProcessInfo processInfo{calls};
    FakeRunningApplications runningApplications{calls};
    FakeAccessibility accessibility{calls};
    FakeEventTaps eventTaps{calls};
    FakeEventMonitors eventMonitors{calls};
    FakeScreens screens;
    FakePanelSurfaces panelSurfaces{calls};
    FakeStatusBar statusBar{calls};
    FakeApplication application{calls};
    FakeWorkspace workspace{calls};
    FakeFileLocations fileLocations;

  private:
    Platform previous_;
};

}  // namespace tavrel::fake
