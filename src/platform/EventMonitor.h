#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/EventTap.h"

namespace tavrel {

inline constexpr std::uint64_t NSEventMaskKeyDown = 1024;

// Answers the event to let it pass on, or null to consume it.
using LocalMonitorHandler = std::function<KeyboardEvent*(KeyboardEvent*)>;

struct MonitorToken {
    std::uint64_t id = 0;
    friend bool operator==(const MonitorToken&, const MonitorToken&) = default;
};

// The application's local event monitors: handlers that see this application's key-down
// events on the main thread before they are dispatched.
class EventMonitors {
  public:
    virtual ~EventMonitors() = default;
    virtual std::optional<MonitorToken> addLocalMonitorForEventsMatchingMask(
        std::uint64_t mask, LocalMonitorHandler handler) = 0;
};

}  // namespace tavrel
