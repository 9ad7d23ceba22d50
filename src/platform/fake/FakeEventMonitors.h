#pragma once
#include <vector>

#include "platform/EventMonitor.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

class FakeEventMonitors final : public EventMonitors {
  public:
    explicit FakeEventMonitors(CallLog& log) : log_(log) {}
    std::optional<MonitorToken> addLocalMonitorForEventsMatchingMask(
        std::uint64_t mask, LocalMonitorHandler handler) override;

    // Offers a key-down to every monitor in order; true when it passed all of them.
    bool keyDown(std::int64_t keyCode, std::uint64_t flags = 0,
                 std::optional<std::string> characters = std::nullopt);

    bool answerToken = true;
    std::vector<std::uint64_t> masks;

  private:
    CallLog& log_;
    std::vector<LocalMonitorHandler> handlers_;
};

}  // namespace tavrel::fake
