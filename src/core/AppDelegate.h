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

// The process entry: makes the delegate, becomes an accessory (tray) agent and runs the
// platform's event loop until the user quits. Answers the process's exit status.
int runApplication();

}  // namespace tavrel
