#include "platform/fake/FakeEventTaps.h"

namespace tavrel::fake {

std::optional<EventTapHandle> FakeEventTaps::tapCreate(std::uint32_t location,
                                                       std::uint32_t placement,
                                                       std::uint32_t options,
                                                       std::uint64_t eventsOfInterest,
                                                       EventTapCallback callback, void* context) {
    log_.record("tapCreate " + std::to_string(location) + " " + std::to_string(placement) + " " +
                std::to_string(options) + " " + std::to_string(eventsOfInterest));
    if (!allowCreate)
        return std::nullopt;
    created = true;
    mask = eventsOfInterest;
    callback_ = callback;
    context_ = context;
    return EventTapHandle{1};
}

RunLoopSourceHandle FakeEventTaps::createRunLoopSource(EventTapHandle, std::int64_t order) {
    log_.record("createRunLoopSource " + std::to_string(order));
    return RunLoopSourceHandle{1};
}

void FakeEventTaps::addSourceToMainRunLoop(RunLoopSourceHandle) {
    log_.record("addSource");
    scheduled = true;
}

void FakeEventTaps::removeSourceFromMainRunLoop(RunLoopSourceHandle) {
    log_.record("removeSource");
    scheduled = false;
}

void FakeEventTaps::tapEnable(EventTapHandle, bool enable) {
    log_.record(std::string("tapEnable ") + (enable ? "true" : "false"));
    enabled = enable;
}

bool FakeEventTaps::deliver(std::uint32_t type, std::uint64_t flags, std::int64_t keyCode) {
    const bool pseudo = type >= kCGEventTapDisabledByTimeout;
    const bool inMask = type < 64 && (mask & (std::uint64_t{1} << type)) != 0;
    if (!scheduled || (!pseudo && (!enabled || !inMask)))
        return true;
    return invoke(type, flags, keyCode);
}

bool FakeEventTaps::invoke(std::uint32_t type, std::uint64_t flags, std::int64_t keyCode) {
    if (callback_ == nullptr)
        return true;
    KeyboardEvent event{type, flags, keyCode, std::nullopt};
    return callback_(nullptr, type, &event, context_) == &event;
}

}  // namespace tavrel::fake
