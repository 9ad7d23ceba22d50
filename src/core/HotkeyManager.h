#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/EventTap.h"

namespace tavrel {

// Watches the desktop's keyboard through the event tap and turns Command+Tab,
// Command+Shift+Tab and the release of Command into callbacks.
class HotkeyManager {
  public:
    HotkeyManager();
    // Detaches the tap, which refers back to this manager without owning it.
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    std::function<void()> onPress;
    std::function<void()> onShiftPress;
    std::function<void()> onModifiersReleased;

    // Creates, schedules and enables the tap, or reports that it cannot.
    void registerTap();

  private:
    static KeyboardEvent* tapCallback(EventTapProxy proxy, std::uint32_t type, KeyboardEvent* event,
                                      void* context);
    // The event to pass on, or null to drop it.
    KeyboardEvent* handle(std::uint32_t type, KeyboardEvent* event);

    std::optional<EventTapHandle> eventTap;
    std::optional<RunLoopSourceHandle> runLoopSource;
};

}  // namespace tavrel
