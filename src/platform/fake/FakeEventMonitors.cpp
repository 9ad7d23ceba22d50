#include "platform/fake/FakeEventMonitors.h"

namespace tavrel::fake {

std::optional<MonitorToken> FakeEventMonitors::addLocalMonitorForEventsMatchingMask(
    std::uint64_t mask, LocalMonitorHandler handler) {
    log_.record("addLocalMonitor " + std::to_string(mask));
    masks.push_back(mask);
    handlers_.push_back(std::move(handler));
    if (!answerToken)
        return std::nullopt;
    return MonitorToken{handlers_.size()};
}

bool FakeEventMonitors::keyDown(std::int64_t keyCode, std::uint64_t flags,
                                std::optional<std::string> characters) {
    KeyboardEvent event{kCGEventKeyDown, flags, keyCode, std::move(characters)};
    for (const auto& handler : handlers_) {
        if (handler(&event) == nullptr)
            return false;
    }
    return true;
}

}  // namespace tavrel::fake
