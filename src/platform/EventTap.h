#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tavrel {

inline constexpr std::uint32_t kCGSessionEventTap = 1;
inline constexpr std::uint32_t kCGHeadInsertEventTap = 0;
inline constexpr std::uint32_t kCGEventTapOptionDefault = 0;

inline constexpr std::uint32_t kCGEventKeyDown = 10;
inline constexpr std::uint32_t kCGEventFlagsChanged = 12;
inline constexpr std::uint32_t kCGEventTapDisabledByTimeout = 0xFFFFFFFE;
inline constexpr std::uint32_t kCGEventTapDisabledByUserInput = 0xFFFFFFFF;
inline constexpr std::uint64_t kHotkeyEventMask =
    (std::uint64_t{1} << kCGEventKeyDown) | (std::uint64_t{1} << kCGEventFlagsChanged);

inline constexpr std::uint32_t kCGKeyboardEventKeycode = 9;

inline constexpr std::uint64_t kCGEventFlagMaskAlphaShift = 0x10000;  // Caps Lock
inline constexpr std::uint64_t kCGEventFlagMaskShift = 0x20000;
inline constexpr std::uint64_t kCGEventFlagMaskControl = 0x40000;
inline constexpr std::uint64_t kCGEventFlagMaskAlternate = 0x80000;  // Option
inline constexpr std::uint64_t kCGEventFlagMaskCommand = 0x100000;

// Virtual key codes the core names.
inline constexpr std::int64_t kVK_Return = 36;
inline constexpr std::int64_t kVK_Tab = 48;
inline constexpr std::int64_t kVK_Delete = 51;
inline constexpr std::int64_t kVK_Escape = 53;
inline constexpr std::int64_t kVK_ANSI_KeypadEnter = 76;
inline constexpr std::int64_t kVK_DownArrow = 125;
inline constexpr std::int64_t kVK_UpArrow = 126;

// One keyboard event as the tap and the key monitor see it.
struct KeyboardEvent {
    std::uint32_t type = kCGEventKeyDown;
    std::uint64_t flags = 0;
    std::int64_t keyCode = 0;
    // UTF-8 text the key produces without Command, Option and Control (Shift applies).
    std::optional<std::string> charactersIgnoringModifiers;
};

using EventTapProxy = void*;
// Answers the event to pass it on, or null to drop it.
using EventTapCallback = KeyboardEvent* (*)(EventTapProxy proxy, std::uint32_t type,
                                            KeyboardEvent* event, void* context);

struct EventTapHandle {
    std::uint64_t id = 0;
    friend bool operator==(const EventTapHandle&, const EventTapHandle&) = default;
};
struct RunLoopSourceHandle {
    std::uint64_t id = 0;
    friend bool operator==(const RunLoopSourceHandle&, const RunLoopSourceHandle&) = default;
};

// A system-wide keyboard event tap at the head of the desktop's event stream.
class EventTaps {
  public:
    virtual ~EventTaps() = default;
    // `context` is not owned. Nothing when this process may not tap events.
    virtual std::optional<EventTapHandle> tapCreate(std::uint32_t location, std::uint32_t placement,
                                                    std::uint32_t options,
                                                    std::uint64_t eventsOfInterest,
                                                    EventTapCallback callback, void* context) = 0;
    virtual RunLoopSourceHandle createRunLoopSource(EventTapHandle tap, std::int64_t order) = 0;
    // The main run loop, in the common modes.
    virtual void addSourceToMainRunLoop(RunLoopSourceHandle source) = 0;
    virtual void removeSourceFromMainRunLoop(RunLoopSourceHandle source) = 0;
    virtual void tapEnable(EventTapHandle tap, bool enable) = 0;

    virtual std::uint64_t eventGetFlags(const KeyboardEvent& event) = 0;
    virtual std::int64_t eventGetIntegerValueField(const KeyboardEvent& event,
                                                   std::uint32_t field) = 0;

    // Beyond the tap itself: a desktop knows what really keeps the hotkey from this program
    // and when that may have gone. A platform with nothing to add keeps these defaults.
    //
    // One line that says why the last tapCreate answered nothing and what to change, when
    // the platform knows more than that it failed.
    virtual std::optional<std::string> tapCreateFailureCause() { return std::nullopt; }
    // From now on the first function (retry) is called when a tap that could not be created
    // may be created now, and the second (obstacle) with one line that says why a tap that
    // exists does not see the hotkey. Both run on the main thread; empty functions end the
    // calls.
    virtual void watchTapObstacles(std::function<void()>,
                                   std::function<void(const std::string& line)>) {}
};

}  // namespace tavrel
