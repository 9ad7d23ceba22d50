#pragma once
#include <functional>

namespace tavrel {

// Watches the desktop's keyboard through the event tap and turns Command+Tab,
// Command+Shift+Tab and the release of Command into callbacks.
class HotkeyManager {
public:
    HotkeyManager();
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    std::function<void()> onPress;
    std::function<void()> onShiftPress;
    std::function<void()> onModifiersReleased;

    // Creates, schedules and enables the tap, or reports that it cannot.
    void registerTap();
};

}  // namespace tavrel
