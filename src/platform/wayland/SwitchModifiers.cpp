#include "platform/wayland/SwitchModifiers.h"

#include "platform/EventTap.h"

namespace tavrel::wayland {
namespace {

// wl_seat's capability bits.
constexpr std::uint32_t kPointerCapability = 1;
constexpr std::uint32_t kKeyboardCapability = 2;

}  // namespace

std::uint64_t SwitchModifiers::bindingPressed(bool shift) {
    flags_ = kCGEventFlagMaskCommand | (shift ? kCGEventFlagMaskShift : 0);
    return flags_;
}

std::optional<std::uint64_t> SwitchModifiers::modifiers(std::uint64_t flags) {
    if (flags == flags_)
        return std::nullopt;
    flags_ = flags;
    return flags;
}

std::optional<std::uint64_t> SwitchModifiers::keyboardGone() {
    return modifiers(0);
}

DeviceChanges followCapabilities(bool haveKeyboard, bool havePointer, std::uint32_t capabilities) {
    const bool keyboard = (capabilities & kKeyboardCapability) != 0;
    const bool pointer = (capabilities & kPointerCapability) != 0;
    return {keyboard && !haveKeyboard, !keyboard && haveKeyboard, pointer && !havePointer,
            !pointer && havePointer};
}

}  // namespace tavrel::wayland
