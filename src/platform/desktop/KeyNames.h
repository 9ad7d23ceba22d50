#pragma once
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <optional>

namespace tavrel::desktop {

// Virtual key codes for the keys the core names; every other key's code k becomes
// kOtherKeyBase + k, which no named code can be.
inline constexpr std::int64_t kOtherKeyBase = 0x1000;

// The core's virtual key code of a key by its unshifted keysym, if the core names it.
std::optional<std::int64_t> namedKeyCode(xkb_keysym_t keysym);

// Keys that change the modifiers (or the layout group) and type nothing, whether or not the
// server's modifier mapping lists them: AltGr, Num Lock, group switches and the like.
bool isModifierKeysym(xkb_keysym_t keysym);

}  // namespace tavrel::desktop
