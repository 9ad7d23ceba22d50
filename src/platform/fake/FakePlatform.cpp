#include "platform/fake/FakePlatform.h"

namespace tavrel::fake {

FakePlatform::FakePlatform() : previous_(platform()) {
    installPlatform({&windowServer, &processInfo, &runningApplications, &accessibility, &eventTaps,
                     &eventMonitors, &screens, &panelSurfaces, &statusBar, &application, &workspace,
                     &fileLocations});
}

FakePlatform::~FakePlatform() {
    installPlatform(previous_);
}

}  // namespace tavrel::fake
