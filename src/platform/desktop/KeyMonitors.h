#pragma once
#include <utility>
#include <vector>

#include "platform/EventMonitor.h"

namespace tavrel::desktop {

// The local key-down monitors: the keyboard hands them the key-downs that reach this
// program while it holds the keyboard.
class KeyMonitors final : public EventMonitors {
  public:
    std::optional<MonitorToken> addLocalMonitorForEventsMatchingMask(
        std::uint64_t mask, LocalMonitorHandler handler) override;

    // Offers a key-down to the monitors in the order they were added, until one consumes
    // it; answers whether it passed them all.
    bool dispatchKeyDown(KeyboardEvent& event);

  private:
    std::vector<std::pair<MonitorToken, LocalMonitorHandler>> monitors_;
    std::uint64_t lastId_ = 0;
};

}  // namespace tavrel::desktop
