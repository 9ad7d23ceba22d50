#pragma once
#include "platform/EventTap.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

// One tap at most; tests deliver events through it and read the verdict.
class FakeEventTaps final : public EventTaps {
  public:
    explicit FakeEventTaps(CallLog& log) : log_(log) {}

    std::optional<EventTapHandle> tapCreate(std::uint32_t location, std::uint32_t placement,
                                            std::uint32_t options, std::uint64_t eventsOfInterest,
                                            EventTapCallback callback, void* context) override;
    RunLoopSourceHandle createRunLoopSource(EventTapHandle tap, std::int64_t order) override;
    void addSourceToMainRunLoop(RunLoopSourceHandle source) override;
    void removeSourceFromMainRunLoop(RunLoopSourceHandle source) override;
    void tapEnable(EventTapHandle tap, bool enable) override;
    std::uint64_t eventGetFlags(const KeyboardEvent& event) override { return event.flags; }
    std::int64_t eventGetIntegerValueField(const KeyboardEvent& event,
                                           std::uint32_t field) override {
        return field == kCGKeyboardEventKeycode ? event.keyCode : 0;
    }
    std::optional<std::string> tapCreateFailureCause() override { return failureCause; }
    void watchTapObstacles(std::function<void()> retryTap,
                           std::function<void(const std::string&)> reportObstacle) override {
        retry = std::move(retryTap);
        obstacle = std::move(reportObstacle);
    }

    // Delivers one event the way the desktop would: only types in the mask, only while the
    // tap is enabled and scheduled (pseudo events always). True when the event passed on
    // unchanged.
    bool deliver(std::uint32_t type, std::uint64_t flags, std::int64_t keyCode = 0);
    // Hands any event straight to the tap's callback, as a system ignoring the mask would.
    bool invoke(std::uint32_t type, std::uint64_t flags, std::int64_t keyCode = 0);

    bool allowCreate = true;
    bool created = false;
    bool enabled = false;
    bool scheduled = false;
    std::uint64_t mask = 0;
    // What the desktop says about a failed tapCreate, and the watch the manager left: tests
    // call them as the desktop would.
    std::optional<std::string> failureCause;
    std::function<void()> retry;
    std::function<void(const std::string&)> obstacle;

  private:
    CallLog& log_;
    EventTapCallback callback_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace tavrel::fake
