#include "platform/desktop/KeyMonitors.h"

namespace tavrel::desktop {

std::optional<MonitorToken> KeyMonitors::addLocalMonitorForEventsMatchingMask(
    std::uint64_t mask, LocalMonitorHandler handler) {
    // Key-downs are the only events this backend delivers to monitors.
    if ((mask & NSEventMaskKeyDown) == 0 || !handler)
        return std::nullopt;
    const MonitorToken token{++lastId_};
    monitors_.emplace_back(token, std::move(handler));
    return token;
}

bool KeyMonitors::dispatchKeyDown(KeyboardEvent& event) {
    // A handler may add monitors; they see the next event, not this one.
    const auto monitors = monitors_;
    KeyboardEvent* current = &event;
    for (const auto& [token, handler] : monitors) {
        current = handler(current);
        if (current == nullptr)
            return false;
    }
    return true;
}

}  // namespace tavrel::desktop
