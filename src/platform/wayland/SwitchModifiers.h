#pragma once
#include <cstdint>
#include <optional>

namespace tavrel::wayland {

// The modifier flags of a switch on sway. Keys reach this program two ways: as sway's
// bindings (Super+Tab, heard over IPC while another window has the keyboard) and through the
// panel's own keyboard once the panel has the focus. In between, Super is known to be down
// only from the binding; the first modifiers the panel's keyboard reports tell whether it
// still is (a quick tap is released before the panel maps).
class SwitchModifiers {
  public:
    // Super+Tab (with Shift: Super+Shift+Tab) heard as a binding; answers the key's flags.
    std::uint64_t bindingPressed(bool shift);
    // The keyboard reports its modifiers as flags; a change is a flags-changed event.
    std::optional<std::uint64_t> modifiers(std::uint64_t flags);
    // The keyboard has gone (the panel lost the focus, or the seat its keyboard): its keys
    // are up. That is a flags-changed event when any modifier was down.
    std::optional<std::uint64_t> keyboardGone();

    std::uint64_t flags() const { return flags_; }

  private:
    std::uint64_t flags_ = 0;
};

// The input devices a seat's capabilities call for, next to the ones held.
struct DeviceChanges {
    bool getKeyboard = false;
    bool releaseKeyboard = false;
    bool getPointer = false;
    bool releasePointer = false;
};
DeviceChanges followCapabilities(bool haveKeyboard, bool havePointer, std::uint32_t capabilities);

}  // namespace tavrel::wayland
