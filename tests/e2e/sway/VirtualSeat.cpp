#include "VirtualSeat.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace tavrel::e2e {
namespace {

// The virtual keyboard's wire interface (zwp_virtual_keyboard_v1, version 1). No Debian
// package ships its protocol description, and four requests are all it has: keymap(format,
// fd, size), key(time, key, state), modifiers(depressed, latched, locked, group), destroy.
const wl_interface* kNoTypes[] = {nullptr, nullptr, nullptr, nullptr};
const wl_message kKeyboardRequests[] = {{"keymap", "uhu", kNoTypes},
                                        {"key", "uuu", kNoTypes},
                                        {"modifiers", "uuuu", kNoTypes},
                                        {"destroy", "", kNoTypes}};
const wl_interface kVirtualKeyboard = {"zwp_virtual_keyboard_v1", 1, 4,
                                       kKeyboardRequests,         0, nullptr};
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kVirtualKeyboard};
// create_virtual_keyboard(seat, new keyboard) is the manager's only request.
const wl_message kManagerRequests[] = {{"create_virtual_keyboard", "on", kCreateTypes}};
const wl_interface kVirtualKeyboardManager = {
    "zwp_virtual_keyboard_manager_v1", 1, 1, kManagerRequests, 0, nullptr};
enum KeyboardRequest : std::uint32_t { kKeymap = 0, kKey = 1, kModifiers = 2, kDestroy = 3 };

}  // namespace

const wl_registry_listener VirtualSeat::registryListener_ = {
    &VirtualSeat::announce, [](void*, wl_registry*, std::uint32_t) {}};

VirtualSeat::VirtualSeat(const std::string& display, int width, int height)
    : width_(width), height_(height) {
    display_ = wl_display_connect(display.c_str());
    if (!display_) {
        failure_ = "cannot connect to " + display;
        return;
    }
    wl_registry* registry = wl_display_get_registry(display_);
    wl_registry_add_listener(registry, &registryListener_, this);
    wl_display_roundtrip(display_);
    wl_registry_destroy(registry);
    if (!seat_ || !keyboardManager_ || !pointerManager_) {
        failure_ = "the compositor offers no seat, virtual keyboard or virtual pointer";
        return;
    }
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager_, seat_);
    if (!makeKeyboard())
        return;
    // The seat gains its keyboard and pointer only once the compositor has seen both.
    if (!sync())
        failure_ = "the compositor refused the virtual keyboard or pointer";
}

VirtualSeat::~VirtualSeat() {
    if (keyboard_)
        wl_proxy_marshal_flags(keyboard_, kDestroy, nullptr, 1, WL_MARSHAL_FLAG_DESTROY);
    if (pointer_)
        zwlr_virtual_pointer_v1_destroy(pointer_);
    if (pointerManager_)
        zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
    if (keyboardManager_)
        wl_proxy_destroy(keyboardManager_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (display_)
        wl_display_disconnect(display_);
    xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

void VirtualSeat::announce(void* data, wl_registry* registry, std::uint32_t name,
                           const char* interface, std::uint32_t version) {
    auto* self = static_cast<VirtualSeat*>(data);
    const std::string is = interface;
    if (is == wl_seat_interface.name && !self->seat_) {
        self->seat_ =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (is == kVirtualKeyboardManager.name) {
        self->keyboardManager_ =
            static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kVirtualKeyboardManager, 1));
    } else if (is == zwlr_virtual_pointer_manager_v1_interface.name) {
        self->pointerManager_ = static_cast<zwlr_virtual_pointer_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, std::min(version, 2u)));
    }
}

bool VirtualSeat::makeKeyboard() {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    keymap_ = context_ ? xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)
                       : nullptr;
    state_ = keymap_ ? xkb_state_new(keymap_) : nullptr;
    char* text = keymap_ ? xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    if (!text) {
        failure_ = "no keymap";
        return false;
    }
    const std::size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("tavrel-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
    std::free(text);
    if (!written) {
        failure_ = "cannot hand the keymap over";
        if (fd >= 0)
            close(fd);
        return false;
    }
    keyboard_ =
        wl_proxy_marshal_flags(keyboardManager_, 0, &kVirtualKeyboard, 1, 0, seat_, nullptr);
    wl_proxy_marshal_flags(keyboard_, kKeymap, nullptr, 1, 0, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                           static_cast<std::uint32_t>(size));
    close(fd);
    return true;
}

std::uint32_t VirtualSeat::now() const {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

xkb_keycode_t VirtualSeat::keycode(const std::string& key) const {
    const xkb_keysym_t wanted = xkb_keysym_from_name(key.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (wanted == XKB_KEY_NoSymbol)
        return XKB_KEYCODE_INVALID;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap_);
         code <= xkb_keymap_max_keycode(keymap_); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap_, code, 0, 0, &syms) > 0 && syms[0] == wanted)
            return code;
    }
    return XKB_KEYCODE_INVALID;
}

bool VirtualSeat::sendKey(const std::string& key, bool down) {
    const xkb_keycode_t code = keycode(key);
    if (!keyboard_ || code == XKB_KEYCODE_INVALID)
        return false;
    // Evdev codes on the wire, xkb codes (8 higher) in the keymap.
    wl_proxy_marshal_flags(keyboard_, kKey, nullptr, 1, 0, now(), code - 8,
                           down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (xkb_state_update_key(state_, code, down ? XKB_KEY_DOWN : XKB_KEY_UP) != 0) {
        wl_proxy_marshal_flags(keyboard_, kModifiers, nullptr, 1, 0,
                               xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                               xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                               xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                               xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
    }
    return wl_display_flush(display_) >= 0;
}

bool VirtualSeat::press(const std::string& key) {
    held_.insert(key);
    return sendKey(key, true);
}

bool VirtualSeat::release(const std::string& key) {
    held_.erase(key);
    return sendKey(key, false);
}

void VirtualSeat::releaseAll() {
    while (!held_.empty()) {
        const std::string key = *held_.begin();
        release(key);
    }
}

bool VirtualSeat::tap(const std::string& key) {
    return press(key) && release(key);
}

bool VirtualSeat::type(const std::string& text) {
    for (const char c : text) {
        if (!tap(c == ' ' ? std::string("space") : std::string(1, c)))
            return false;
    }
    return true;
}

void VirtualSeat::movePointer(int x, int y) {
    if (!pointer_)
        return;
    zwlr_virtual_pointer_v1_motion_absolute(
        pointer_, now(), static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
        static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_));
    zwlr_virtual_pointer_v1_frame(pointer_);
    wl_display_flush(display_);
}

void VirtualSeat::click(int x, int y) {
    if (!pointer_)
        return;
    movePointer(x, y);
    for (const auto state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
        zwlr_virtual_pointer_v1_button(pointer_, now(), BTN_LEFT, state);
        zwlr_virtual_pointer_v1_frame(pointer_);
    }
    wl_display_flush(display_);
}

bool VirtualSeat::sync() {
    return display_ && wl_display_roundtrip(display_) >= 0;
}

}  // namespace tavrel::e2e
