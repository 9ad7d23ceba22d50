#include "core/HotkeyManager.h"

#include <string>
#include <string_view>

#include "core/Log.h"
#include "platform/Platform.h"

namespace tavrel {
namespace {

constexpr std::string_view kTapCreatedLine = "event tap created and enabled";
constexpr std::string_view kTapFailedLine =
    "ERROR: CGEvent.tapCreate returned nil — Accessibility not granted (or revoked due to "
    "signature change)";
constexpr std::string_view kTapFailedMessage =
    "tavrel: could not create event tap — Accessibility permission required\n";

static_assert(kHotkeyEventMask == 0x1400, "key-down and flags-changed only");

void callIfSet(const std::function<void()>& callback) {
    if (callback)
        callback();
}

// A line from the desktop about what keeps the hotkey away goes to the log and, like the
// failure it explains, to standard error.
void reportObstacle(const std::string& line) {
    TavrelLog::shared().line(line);
    platform().processInfo->writeToStandardError("tavrel: " + line + "\n");
}

}  // namespace

HotkeyManager::HotkeyManager() = default;

HotkeyManager::~HotkeyManager() {
    EventTaps* taps = platform().eventTaps;
    if (taps != nullptr)
        taps->watchTapObstacles({}, {});
    if (runLoopSource)
        taps->removeSourceFromMainRunLoop(*runLoopSource);
    if (eventTap)
        taps->tapEnable(*eventTap, false);
}

void HotkeyManager::registerTap() {
    // A second tap would be left behind, still pointing at this manager after it is gone.
    if (eventTap)
        return;
    EventTaps* taps = platform().eventTaps;
    if (taps != nullptr)
        taps->watchTapObstacles([this] { retryTap(); }, &reportObstacle);
    if (!createTap()) {
        TavrelLog::shared().line(kTapFailedLine);
        platform().processInfo->writeToStandardError(kTapFailedMessage);
        reportCause(taps != nullptr ? taps->tapCreateFailureCause() : std::nullopt);
        return;
    }
    enableTap();
}

bool HotkeyManager::createTap() {
    EventTaps* taps = platform().eventTaps;
    if (taps != nullptr)
        eventTap =
            taps->tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
                            kHotkeyEventMask, &HotkeyManager::tapCallback, this);
    return eventTap.has_value();
}

void HotkeyManager::enableTap() {
    EventTaps* taps = platform().eventTaps;
    TavrelLog::shared().line(kTapCreatedLine);
    runLoopSource = taps->createRunLoopSource(*eventTap, 0);
    taps->addSourceToMainRunLoop(*runLoopSource);
    taps->tapEnable(*eventTap, true);
}

void HotkeyManager::retryTap() {
    if (eventTap)
        return;
    if (createTap()) {
        enableTap();
        return;
    }
    // Still held: said again only when the desktop now names another cause.
    reportCause(platform().eventTaps->tapCreateFailureCause());
}

void HotkeyManager::reportCause(const std::optional<std::string>& cause) {
    if (!cause || cause == reportedCause_)
        return;
    reportedCause_ = cause;
    reportObstacle(*cause);
}

KeyboardEvent* HotkeyManager::tapCallback(EventTapProxy, std::uint32_t type, KeyboardEvent* event,
                                          void* context) {
    if (context == nullptr)
        return event;
    return static_cast<HotkeyManager*>(context)->handle(type, event);
}

KeyboardEvent* HotkeyManager::handle(std::uint32_t type, KeyboardEvent* event) {
    EventTaps& taps = *platform().eventTaps;
    // The system switched the tap off (too slow, or by user input): turn it straight back on.
    if (type >= kCGEventTapDisabledByTimeout) {
        if (eventTap)
            taps.tapEnable(*eventTap, true);
        return event;
    }
    if (event == nullptr)
        return event;
    const std::uint64_t flags = taps.eventGetFlags(*event);
    const bool command = (flags & kCGEventFlagMaskCommand) != 0;
    if (type == kCGEventKeyDown) {
        const std::int64_t keyCode =
            taps.eventGetIntegerValueField(*event, kCGKeyboardEventKeycode);
        if (!command || keyCode != kVK_Tab)
            return event;
        callIfSet((flags & kCGEventFlagMaskShift) != 0 ? onShiftPress : onPress);
        return nullptr;
    }
    if (type == kCGEventFlagsChanged && !command)
        callIfSet(onModifiersReleased);
    return event;
}

}  // namespace tavrel
