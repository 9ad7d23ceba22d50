#pragma once
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavrel::x11 {

// The keyboard's current layout as xkbcommon reads it from the server: the virtual key
// code and the text of each key, which keys are Tab and Super.
class X11Keymap {
  public:
    // Nothing when the server's keymap cannot be read.
    static std::unique_ptr<X11Keymap> load(xcb_connection_t* connection, std::int32_t deviceId);

    std::int64_t virtualKeyCode(xcb_keycode_t keycode) const { return virtualCodes_[keycode]; }
    // The key's text with Shift (and Num Lock, for the keypad) applied and Control, Alt,
    // Super and Caps Lock not, in the layout group that `state` carries; empty for keys
    // without text.
    std::string charactersIgnoringModifiers(xcb_keycode_t keycode, std::uint16_t state) const;
    std::optional<xcb_keycode_t> tabKeycode() const { return tab_; }
    // Whether the key sets Mod4 (Super) in the server's modifier mapping.
    bool setsSuper(xcb_keycode_t keycode) const { return superKeys_[keycode]; }
    // Whether the key changes modifiers (in the server's modifier mapping, or by its keysym, as
    // AltGr and group switches do); such keys change flags and type nothing.
    bool isModifier(xcb_keycode_t keycode) const { return modifierKeys_[keycode]; }

  private:
    struct KeymapDeleter {
        void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
    };
    struct ContextDeleter {
        void operator()(xkb_context* c) const { xkb_context_unref(c); }
    };
    void readKeys();
    void readModifierMapping(xcb_connection_t* connection);

    std::unique_ptr<xkb_context, ContextDeleter> context_;
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap_;
    std::array<std::int64_t, 256> virtualCodes_{};
    std::array<bool, 256> superKeys_{};
    std::array<bool, 256> modifierKeys_{};
    std::optional<xcb_keycode_t> tab_;
};

}  // namespace tavrel::x11
