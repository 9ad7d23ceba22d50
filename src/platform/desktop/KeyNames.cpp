#include "platform/desktop/KeyNames.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/EventTap.h"

namespace tavrel::desktop {

std::optional<std::int64_t> namedKeyCode(xkb_keysym_t keysym) {
    switch (keysym) {
        case XKB_KEY_Tab:
        case XKB_KEY_ISO_Left_Tab:
            return kVK_Tab;
        case XKB_KEY_Return:
            return kVK_Return;
        case XKB_KEY_KP_Enter:
            return kVK_ANSI_KeypadEnter;
        case XKB_KEY_BackSpace:
            return kVK_Delete;
        case XKB_KEY_Escape:
            return kVK_Escape;
        case XKB_KEY_Down:
            return kVK_DownArrow;
        case XKB_KEY_Up:
            return kVK_UpArrow;
        default:
            return std::nullopt;
    }
}

bool isModifierKeysym(xkb_keysym_t keysym) {
    return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
           (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Level5_Lock) ||
           keysym == XKB_KEY_Mode_switch || keysym == XKB_KEY_Num_Lock;
}

}  // namespace tavrel::desktop
