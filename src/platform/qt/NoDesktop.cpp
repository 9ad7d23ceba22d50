#include "platform/qt/NoDesktop.h"

namespace tavrel::qt {

std::optional<WindowInfoList> NoDesktop::copyWindowInfo(std::uint32_t, std::uint32_t) {
    return std::nullopt;
}

std::shared_ptr<RunningApplication> NoDesktop::runningApplicationWithProcessIdentifier(
    std::int32_t) {
    return nullptr;
}

AXElement NoDesktop::createApplication(std::int32_t pid) {
    return {AXElement::Kind::application, pid, 0};
}

AXError NoDesktop::copyAttributeValue(const AXElement&, const std::string&, Value&) {
    return kAXErrorCannotComplete;
}

AXError NoDesktop::setAttributeValue(const AXElement&, const std::string&, const Value&) {
    return kAXErrorCannotComplete;
}

AXError NoDesktop::performAction(const AXElement&, const std::string&) {
    return kAXErrorCannotComplete;
}

AXError NoDesktop::isAttributeSettable(const AXElement&, const std::string&, bool& settable) {
    settable = false;
    return kAXErrorCannotComplete;
}

bool NoDesktop::isProcessTrusted() {
    return false;
}

bool NoDesktop::isProcessTrustedWithOptions(bool) {
    return false;
}

std::optional<EventTapHandle> NoDesktop::tapCreate(std::uint32_t, std::uint32_t, std::uint32_t,
                                                   std::uint64_t, EventTapCallback, void*) {
    return std::nullopt;
}

RunLoopSourceHandle NoDesktop::createRunLoopSource(EventTapHandle, std::int64_t) {
    return {};
}

void NoDesktop::addSourceToMainRunLoop(RunLoopSourceHandle) {}

void NoDesktop::removeSourceFromMainRunLoop(RunLoopSourceHandle) {}

void NoDesktop::tapEnable(EventTapHandle, bool) {}

std::uint64_t NoDesktop::eventGetFlags(const KeyboardEvent& event) {
    return event.flags;
}

std::int64_t NoDesktop::eventGetIntegerValueField(const KeyboardEvent& event, std::uint32_t field) {
    return field == kCGKeyboardEventKeycode ? event.keyCode : 0;
}

std::optional<MonitorToken> NoDesktop::addLocalMonitorForEventsMatchingMask(std::uint64_t,
                                                                            LocalMonitorHandler) {
    // No keyboard reaches this program without a display; the monitor simply never fires.
    return MonitorToken{1};
}

std::optional<std::string> NoDesktop::tapCreateFailureCause() {
    return cause_;
}

}  // namespace tavrel::qt
