// The user's switching gestures, on any desktop's keyboard (keys by keysym name).
#pragma once

namespace tavrel::e2e {

// Tab, or Shift+Tab when `reverse`, while Super is held.
template <typename Keyboard>
void tabWithSuperHeld(Keyboard& keys, bool reverse) {
    if (reverse)
        keys.press("Shift_L");
    keys.tap("Tab");
    if (reverse)
        keys.release("Shift_L");
}

// Hold Super and press Tab (Shift+Tab), as the user opens the switcher.
template <typename Keyboard>
void superTab(Keyboard& keys, bool reverse) {
    keys.press("Super_L");
    tabWithSuperHeld(keys, reverse);
}

}  // namespace tavrel::e2e
