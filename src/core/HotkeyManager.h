#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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

    // Creates, schedules and enables the tap, or reports that it cannot. What keeps the tap
    // from working is reported as the desktop explains it, and a tap that could not be created
    // is created as soon as the desktop says it may be.
    void registerTap();

  private:
    bool createTap();
    void enableTap();
    // The desktop says the obstacle may have gone.
    void retryTap();
    void reportCause(const std::optional<std::string>& cause);

    static KeyboardEvent* tapCallback(EventTapProxy proxy, std::uint32_t type, KeyboardEvent* event,
                                      void* context);
    // The event to pass on, or null to drop it.
    KeyboardEvent* handle(std::uint32_t type, KeyboardEvent* event);

    std::optional<EventTapHandle> eventTap;
    std::optional<RunLoopSourceHandle> runLoopSource;
    // The cause last reported for a tap that could not be created.
    std::optional<std::string> reportedCause_;
};

}  // namespace tavrel
