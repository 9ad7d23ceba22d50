#include "platform/x11/X11Keymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>

#include "platform/EventTap.h"
#include "platform/desktop/KeyNames.h"
#include "platform/x11/X11Connection.h"

namespace tavrel::x11 {
namespace {

// The X modifier bits that characters take into account: Shift and Num Lock (Mod2).
constexpr std::uint16_t kTextModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_2;
constexpr int kMod4Index = 6;  // Shift, Lock, Control, Mod1 ... Mod5

}  // namespace

std::unique_ptr<X11Keymap> X11Keymap::load(xcb_connection_t* connection, std::int32_t deviceId) {
    auto map = std::make_unique<X11Keymap>();
    map->context_.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!map->context_)
        return nullptr;
    map->keymap_.reset(xkb_x11_keymap_new_from_device(map->context_.get(), connection, deviceId,
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!map->keymap_)
        return nullptr;
    map->readKeys();
    map->readModifierMapping(connection);
    return map;
}

void X11Keymap::readKeys() {
    for (std::size_t keycode = 0; keycode < virtualCodes_.size(); ++keycode) {
        virtualCodes_[keycode] = desktop::kOtherKeyBase + static_cast<std::int64_t>(keycode);
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(
            keymap_.get(), static_cast<xkb_keycode_t>(keycode), 0, 0, &syms);
        if (count < 1)
            continue;
        if (const auto named = desktop::namedKeyCode(syms[0]))
            virtualCodes_[keycode] = *named;
        modifierKeys_[keycode] = desktop::isModifierKeysym(syms[0]);
        if (syms[0] == XKB_KEY_Tab && !tab_)
            tab_ = static_cast<xcb_keycode_t>(keycode);
    }
}

void X11Keymap::readModifierMapping(xcb_connection_t* connection) {
    Reply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!reply)
        return;
    const int perModifier = reply->keycodes_per_modifier;
    const int length = xcb_get_modifier_mapping_keycodes_length(reply.get());
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    for (int i = 0; i < length; ++i) {
        if (keycodes[i] == 0)
            continue;
        modifierKeys_[keycodes[i]] = true;
        if (perModifier > 0 && i / perModifier == kMod4Index)
            superKeys_[keycodes[i]] = true;
    }
}

std::string X11Keymap::charactersIgnoringModifiers(xcb_keycode_t keycode,
                                                   std::uint16_t state) const {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> scratch(xkb_state_new(keymap_.get()),
                                                                   &xkb_state_unref);
    if (!scratch)
        return {};
    // Real modifiers keep their X bit positions in keymaps read from the server; the
    // layout group travels in bits 13 and 14 of a key event's state.
    const xkb_layout_index_t group = (state >> 13) & 3;
    xkb_state_update_mask(scratch.get(), state & kTextModifiers, 0, 0, 0, 0, group);
    char text[64] = {};
    const int length = xkb_state_key_get_utf8(scratch.get(), keycode, text, sizeof text);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text)
        return {};
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace tavrel::x11
