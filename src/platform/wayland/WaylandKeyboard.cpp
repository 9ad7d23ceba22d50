#include "platform/wayland/WaylandKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstring>

#include "platform/MainLoop.h"
#include "platform/desktop/KeyMonitors.h"
#include "platform/desktop/KeyNames.h"

namespace tavrel::wayland {
namespace {

constexpr EventTapHandle kTheTap{1};
constexpr RunLoopSourceHandle kTheSource{1};
// Keymaps are tens of kilobytes; a compositor that sends more is not believed.
constexpr std::uint32_t kMaxKeymapBytes = 4u << 20;
// Evdev key numbers are xkb keycodes less 8.
constexpr std::uint32_t kEvdevOffset = 8;
constexpr std::int32_t kMaxRepeatRate = 1000;
constexpr int kRetryMs = 2000;

WaylandKeyboard& keyboardOf(void* data) {
    return *static_cast<WaylandKeyboard*>(data);
}

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
    keyboardOf(data).keymap(format, fd, size);
}
void onEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
    keyboardOf(data).enter();
}
void onLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
    keyboardOf(data).leave();
}
void onKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t state) {
    keyboardOf(data).key(key, state);
}
void onModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                 std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
    keyboardOf(data).modifiers(depressed, latched, locked, group);
}
void onRepeatInfo(void* data, wl_keyboard*, std::int32_t rate, std::int32_t delay) {
    keyboardOf(data).repeatInfo(rate, delay);
}

const wl_keyboard_listener kListener{&onKeymap, &onEnter,     &onLeave,
                                     &onKey,    &onModifiers, &onRepeatInfo};

}  // namespace

WaylandKeyboard::WaylandKeyboard(desktop::KeyMonitors& monitors, MainLoop& loop)
    : monitors_(monitors),
      loop_(loop),
      xkb_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)),
      retryTimer_(loop,
                  [this] {
                      if (retry_)
                          retry_();
                  }),
      repeat_(loop, [this] {
          if (repeating_)
              pressKey(*repeating_);
      }) {}

WaylandKeyboard::~WaylandKeyboard() {
    detach();
}

std::optional<EventTapHandle> WaylandKeyboard::tapCreate(std::uint32_t, std::uint32_t,
                                                         std::uint32_t,
                                                         std::uint64_t eventsOfInterest,
                                                         EventTapCallback callback, void* context) {
    if (callback_ != nullptr || callback == nullptr)
        return std::nullopt;
    std::string whyNot = "no way to install the hotkey";
    if (!installHotkey_ || !installHotkey_(&whyNot)) {
        failureCause_ = "Super+Tab cannot be bound on sway: " + whyNot;
        retryTimer_.start(kRetryMs, kRetryMs);
        return std::nullopt;
    }
    failureCause_.reset();
    retryTimer_.stop();
    callback_ = callback;
    context_ = context;
    eventsOfInterest_ = eventsOfInterest;
    return kTheTap;
}

RunLoopSourceHandle WaylandKeyboard::createRunLoopSource(EventTapHandle, std::int64_t) {
    return kTheSource;
}

void WaylandKeyboard::addSourceToMainRunLoop(RunLoopSourceHandle) {
    scheduled_ = true;
}

void WaylandKeyboard::removeSourceFromMainRunLoop(RunLoopSourceHandle) {
    scheduled_ = false;
}

void WaylandKeyboard::tapEnable(EventTapHandle, bool enable) {
    enabled_ = enable;
}

void WaylandKeyboard::watchTapObstacles(std::function<void()> retry,
                                        std::function<void(const std::string& line)> obstacle) {
    retry_ = std::move(retry);
    obstacle_ = std::move(obstacle);
    if (!retry_)
        retryTimer_.stop();
}

void WaylandKeyboard::reportObstacle(const std::string& line) {
    if (obstacle_)
        obstacle_(line);
}

std::int64_t WaylandKeyboard::eventGetIntegerValueField(const KeyboardEvent& event,
                                                        std::uint32_t field) {
    return field == kCGKeyboardEventKeycode ? event.keyCode : 0;
}

void WaylandKeyboard::bindingHeard(bool shift) {
    KeyboardEvent event{kCGEventKeyDown, switchModifiers_.bindingPressed(shift), kVK_Tab, "\t"};
    KeyboardEvent* passed = deliver(kCGEventKeyDown, event);
    if (passed != nullptr && focused_)
        monitors_.dispatchKeyDown(*passed);
}

void WaylandKeyboard::attach(wl_keyboard* keyboard) {
    detach();
    keyboard_ = keyboard;
    wl_keyboard_add_listener(keyboard_, &kListener, this);
}

void WaylandKeyboard::detach() {
    if (keyboard_ == nullptr)
        return;
    if (wl_keyboard_get_version(keyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(keyboard_);
    else
        wl_keyboard_destroy(keyboard_);
    keyboard_ = nullptr;
    leave();
}

void WaylandKeyboard::keymap(std::uint32_t format, int fd, std::uint32_t size) {
    stopRepeat();
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0 || size > kMaxKeymapBytes ||
        !xkb_) {
        close(fd);
        return;
    }
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED)
        return;
    const char* text = static_cast<const char*>(mapped);
    // The text ends at its NUL, or at the end of what was sent.
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_keymap_new_from_buffer(xkb_.get(), text, strnlen(text, size), XKB_KEYMAP_FORMAT_TEXT_V1,
                                   XKB_KEYMAP_COMPILE_NO_FLAGS));
    munmap(mapped, size);
    if (!keymap)
        return;
    std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(keymap.get()));
    if (!state)
        return;
    keymap_ = std::move(keymap);
    state_ = std::move(state);
    shift_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_SHIFT);
    caps_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_CAPS);
    control_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_CTRL);
    alt_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_ALT);
    logo_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_LOGO);
    num_ = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_NUM);
}

void WaylandKeyboard::enter() {
    // Super's state is told by the modifiers that follow.
    focused_ = true;
}

void WaylandKeyboard::leave() {
    stopRepeat();
    const bool wasFocused = focused_;
    focused_ = false;
    if (wasFocused)
        flagsChanged(switchModifiers_.keyboardGone());
}

void WaylandKeyboard::key(std::uint32_t key, std::uint32_t state) {
    if (!state_ || key > UINT32_MAX - kEvdevOffset)
        return;
    const xkb_keycode_t keycode = key + kEvdevOffset;
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED) {
        if (repeating_ == keycode)
            stopRepeat();
        return;
    }
    if (isModifierKey(keycode))
        return;  // its effect comes as modifiers
    stopRepeat();
    if (xkb_keymap_key_repeats(keymap_.get(), keycode) && repeatIntervalMs_ > 0) {
        repeating_ = keycode;
        repeat_.start(repeatDelayMs_, repeatIntervalMs_);
    }
    pressKey(keycode);
}

void WaylandKeyboard::modifiers(std::uint32_t depressed, std::uint32_t latched,
                                std::uint32_t locked, std::uint32_t group) {
    if (!state_)
        return;
    xkb_state_update_mask(state_.get(), depressed, latched, locked, 0, 0, group);
    flagsChanged(switchModifiers_.modifiers(currentFlags()));
}

void WaylandKeyboard::repeatInfo(std::int32_t rate, std::int32_t delay) {
    if (rate <= 0) {
        repeatIntervalMs_ = 0;  // no repeat
        stopRepeat();
        return;
    }
    repeatIntervalMs_ = std::max(1, 1000 / std::min(rate, kMaxRepeatRate));
    repeatDelayMs_ = std::max(1, delay);
}

std::uint64_t WaylandKeyboard::currentFlags() const {
    const auto active = [this](xkb_mod_index_t index, xkb_state_component components) {
        return index != XKB_MOD_INVALID &&
               xkb_state_mod_index_is_active(state_.get(), index, components) > 0;
    };
    // Super counts while held (or latched): a locked Super would never let a switch end.
    const auto held =
        static_cast<xkb_state_component>(XKB_STATE_MODS_DEPRESSED | XKB_STATE_MODS_LATCHED);
    std::uint64_t flags = 0;
    if (active(logo_, held))
        flags |= kCGEventFlagMaskCommand;
    if (active(shift_, XKB_STATE_MODS_EFFECTIVE))
        flags |= kCGEventFlagMaskShift;
    if (active(control_, XKB_STATE_MODS_EFFECTIVE))
        flags |= kCGEventFlagMaskControl;
    if (active(alt_, XKB_STATE_MODS_EFFECTIVE))
        flags |= kCGEventFlagMaskAlternate;
    if (active(caps_, XKB_STATE_MODS_EFFECTIVE))
        flags |= kCGEventFlagMaskAlphaShift;
    return flags;
}

bool WaylandKeyboard::isModifierKey(xkb_keycode_t keycode) const {
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_.get(), keycode, 0, 0, &syms);
    return count > 0 && desktop::isModifierKeysym(syms[0]);
}

std::string WaylandKeyboard::charactersIgnoringModifiers(xkb_keycode_t keycode) const {
    std::unique_ptr<xkb_state, StateDeleter> scratch(xkb_state_new(keymap_.get()));
    if (!scratch)
        return {};
    // Shift and Num Lock shape the text; Control, Alt, Super and Caps Lock do not.
    xkb_mod_mask_t kept = 0;
    for (const xkb_mod_index_t index : {shift_, num_}) {
        if (index != XKB_MOD_INVALID &&
            xkb_state_mod_index_is_active(state_.get(), index, XKB_STATE_MODS_EFFECTIVE) > 0)
            kept |= xkb_mod_mask_t{1} << index;
    }
    const xkb_layout_index_t layout =
        xkb_state_serialize_layout(state_.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    xkb_state_update_mask(scratch.get(), kept, 0, 0, 0, 0, layout);
    char text[64] = {};
    const int length = xkb_state_key_get_utf8(scratch.get(), keycode, text, sizeof text);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof text)
        return {};
    return std::string(text, static_cast<std::size_t>(length));
}

KeyboardEvent WaylandKeyboard::eventFor(xkb_keycode_t keycode) const {
    std::int64_t code = desktop::kOtherKeyBase + keycode;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap_.get(), keycode, 0, 0, &syms) > 0) {
        if (const auto named = desktop::namedKeyCode(syms[0]))
            code = *named;
    }
    return {kCGEventKeyDown, currentFlags(), code, charactersIgnoringModifiers(keycode)};
}

void WaylandKeyboard::pressKey(xkb_keycode_t keycode) {
    if (!state_ || !focused_)
        return;
    KeyboardEvent event = eventFor(keycode);
    KeyboardEvent* passed = deliver(kCGEventKeyDown, event);
    if (passed != nullptr && focused_)
        monitors_.dispatchKeyDown(*passed);
}

void WaylandKeyboard::flagsChanged(std::optional<std::uint64_t> flags) {
    if (!flags)
        return;
    KeyboardEvent event{kCGEventFlagsChanged, *flags, 0, std::nullopt};
    deliver(kCGEventFlagsChanged, event);
}

KeyboardEvent* WaylandKeyboard::deliver(std::uint32_t type, KeyboardEvent& event) {
    if (!delivering() || (eventsOfInterest_ & (std::uint64_t{1} << type)) == 0)
        return &event;
    return callback_(nullptr, type, &event, context_);
}

void WaylandKeyboard::stopRepeat() {
    repeating_.reset();
    repeat_.stop();
}

}  // namespace tavrel::wayland
