#pragma once
#include <optional>
#include <string>

#include "platform/Accessibility.h"
#include "platform/EventMonitor.h"
#include "platform/EventTap.h"
#include "platform/RunningApplications.h"
#include "platform/WindowServer.h"

namespace tavrel::qt {

// What the desktop services answer when no X11 display can be had (no display at all, or a
// Wayland session): no windows, no applications, no permission, and an event tap that cannot be
// created, so the program starts, logs why the hotkey is missing, and does nothing harmful.
class NoDesktop final : public WindowServer,
                        public RunningApplications,
                        public Accessibility,
                        public EventTaps,
                        public EventMonitors {
  public:
    std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                 std::uint32_t relativeToWindow) override;
    std::shared_ptr<RunningApplication> runningApplicationWithProcessIdentifier(
        std::int32_t pid) override;

    AXElement createApplication(std::int32_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute,
                               Value& value) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const Value& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError isAttributeSettable(const AXElement& element, const std::string& attribute,
                                bool& settable) override;
    bool isProcessTrusted() override;
    bool isProcessTrustedWithOptions(bool prompt) override;

    std::optional<EventTapHandle> tapCreate(std::uint32_t location, std::uint32_t placement,
                                            std::uint32_t options, std::uint64_t eventsOfInterest,
                                            EventTapCallback callback, void* context) override;
    RunLoopSourceHandle createRunLoopSource(EventTapHandle tap, std::int64_t order) override;
    void addSourceToMainRunLoop(RunLoopSourceHandle source) override;
    void removeSourceFromMainRunLoop(RunLoopSourceHandle source) override;
    void tapEnable(EventTapHandle tap, bool enable) override;
    std::uint64_t eventGetFlags(const KeyboardEvent& event) override;
    std::int64_t eventGetIntegerValueField(const KeyboardEvent& event,
                                           std::uint32_t field) override;

    std::optional<MonitorToken> addLocalMonitorForEventsMatchingMask(
        std::uint64_t mask, LocalMonitorHandler handler) override;

    // Why the desktop could not be served (a Wayland desktop other than sway, a display that
    // cannot be reached), told after the tap's failure lines; nothing without a desktop.
    void setFailureCause(std::string cause) { cause_ = std::move(cause); }
    std::optional<std::string> tapCreateFailureCause() override;

  private:
    std::optional<std::string> cause_;
};

}  // namespace tavrel::qt
