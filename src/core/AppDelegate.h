#pragma once
#include <memory>

#include "platform/StatusBar.h"

namespace tavrel {

class HotkeyManager;
class SwitcherController;

// The application's delegate: the launch sequence, the hotkey wiring and the status menu.
class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
  public:
    AppDelegate();
    ~AppDelegate();

    void applicationDidFinishLaunching();
    // Menu actions.
    void showSwitcher();
    void openAccessibility();

    std::shared_ptr<SwitcherController> switcher;

  private:
    void setupStatusItem();
    void assignHotkeyCallbacks();

    std::unique_ptr<StatusItem> statusItem_;
    std::unique_ptr<HotkeyManager> hotkey_;
};

// Ends the program the way "Quit tavrel" does, from inside the running event loop: every line
// the log still holds is written out, then the platform ends the loop and runApplication()
// returns 0.
void terminateApplication();

// The process entry: makes the delegate, becomes an accessory (tray) agent and runs the
// platform's event loop until the user quits. Answers the process's exit status.
int runApplication();

}  // namespace tavrel
