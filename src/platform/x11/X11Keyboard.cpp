#include "platform/x11/X11Keyboard.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <vector>

#include "platform/desktop/KeyMonitors.h"
#include "platform/x11/X11Connection.h"

// xkb.h names a field `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace tavrel::x11 {
namespace {

constexpr EventTapHandle kTheTap{1};
constexpr RunLoopSourceHandle kTheSource{1};

// Super+Tab is grabbed with every combination of these, so that Caps Lock, Num Lock and
// the other modifiers neither block nor change a match.
constexpr std::uint16_t kOtherModifiers[] = {
    XCB_MOD_MASK_SHIFT, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_1,
    XCB_MOD_MASK_2,     XCB_MOD_MASK_3,    XCB_MOD_MASK_5};
constexpr std::size_t kGrabCount = std::size_t{1} << std::size(kOtherModifiers);

std::uint16_t grabModifiers(std::size_t combination) {
    std::uint16_t modifiers = XCB_MOD_MASK_4;
    for (std::size_t bit = 0; bit < std::size(kOtherModifiers); ++bit) {
        if ((combination & (std::size_t{1} << bit)) != 0)
            modifiers |= kOtherModifiers[bit];
    }
    return modifiers;
}

std::uint64_t flagsFrom(std::uint16_t modifiers) {
    std::uint64_t flags = 0;
    if ((modifiers & XCB_MOD_MASK_4) != 0)
        flags |= kCGEventFlagMaskCommand;
    if ((modifiers & XCB_MOD_MASK_SHIFT) != 0)
        flags |= kCGEventFlagMaskShift;
    if ((modifiers & XCB_MOD_MASK_CONTROL) != 0)
        flags |= kCGEventFlagMaskControl;
    if ((modifiers & XCB_MOD_MASK_1) != 0)
        flags |= kCGEventFlagMaskAlternate;
    if ((modifiers & XCB_MOD_MASK_LOCK) != 0)
        flags |= kCGEventFlagMaskAlphaShift;
    return flags;
}

// XKB events share one event code and tell themselves apart by their second byte.
std::uint8_t xkbTypeOf(const xcb_generic_event_t* event) {
    return reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event)->xkbType;
}

}  // namespace

X11Keyboard::X11Keyboard(X11Connection& connection, desktop::KeyMonitors& monitors)
    : connection_(connection), monitors_(monitors) {}

X11Keyboard::~X11Keyboard() {
    releaseKeyboard();
    ungrabTab();
}

std::optional<EventTapHandle> X11Keyboard::tapCreate(std::uint32_t, std::uint32_t, std::uint32_t,
                                                     std::uint64_t eventsOfInterest,
                                                     EventTapCallback callback, void* context) {
    const bool ready = callback_ == nullptr && callback != nullptr && loadKeymap() &&
                       keymap_->tabKeycode() && grabTab(*keymap_->tabKeycode());
    noteOutOfBandRead();
    if (!ready)
        return std::nullopt;
    callback_ = callback;
    context_ = context;
    eventsOfInterest_ = eventsOfInterest;
    return kTheTap;
}

RunLoopSourceHandle X11Keyboard::createRunLoopSource(EventTapHandle, std::int64_t) {
    return kTheSource;
}

void X11Keyboard::addSourceToMainRunLoop(RunLoopSourceHandle) {
    scheduled_ = true;
}

void X11Keyboard::removeSourceFromMainRunLoop(RunLoopSourceHandle) {
    scheduled_ = false;
}

void X11Keyboard::tapEnable(EventTapHandle, bool enable) {
    enabled_ = enable;
}

std::int64_t X11Keyboard::eventGetIntegerValueField(const KeyboardEvent& event,
                                                    std::uint32_t field) {
    return field == kCGKeyboardEventKeycode ? event.keyCode : 0;
}

bool X11Keyboard::setUpXkb() {
    if (xkbReady_)
        return true;
    xcb_connection_t* c = connection_.get();
    if (xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                    &xkbEventBase_, nullptr) != 1) {
        return false;
    }
    deviceId_ = xkb_x11_get_core_keyboard_device_id(c);
    if (deviceId_ < 0)
        return false;
    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                     XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    constexpr std::uint16_t mapParts =
        XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
        XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
        XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState = XCB_XKB_STATE_PART_MODIFIER_STATE | XCB_XKB_STATE_PART_MODIFIER_BASE |
                          XCB_XKB_STATE_PART_MODIFIER_LATCH | XCB_XKB_STATE_PART_MODIFIER_LOCK;
    details.stateDetails = details.affectState;
    Reply<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_xkb_select_events_aux_checked(c, static_cast<xcb_xkb_device_spec_t>(deviceId_),
                                             events, 0, 0, mapParts, mapParts, &details)));
    xkbReady_ = !error;
    return xkbReady_;
}

bool X11Keyboard::loadKeymap() {
    if (keymap_)
        return true;
    if (!setUpXkb())
        return false;
    keymap_ = X11Keymap::load(connection_.get(), deviceId_);
    readModifierState();
    return keymap_ != nullptr;
}

bool X11Keyboard::grabTab(xcb_keycode_t keycode) {
    xcb_connection_t* c = connection_.get();
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(kGrabCount);
    for (std::size_t i = 0; i < kGrabCount; ++i) {
        cookies.push_back(xcb_grab_key_checked(c, 0, connection_.root(), grabModifiers(i), keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
    }
    std::vector<std::uint16_t> taken;
    for (std::size_t i = 0; i < kGrabCount; ++i) {
        Reply<xcb_generic_error_t> error(xcb_request_check(c, cookies[i]));
        if (!error)
            taken.push_back(grabModifiers(i));
    }
    if (taken.size() == kGrabCount) {
        grabbedTab_ = keycode;
        return true;
    }
    // Another client owns Super+Tab in some combination: give back what we took.
    for (const std::uint16_t modifiers : taken)
        xcb_ungrab_key(c, keycode, connection_.root(), modifiers);
    connection_.sync();
    return false;
}

void X11Keyboard::ungrabTab() {
    if (!grabbedTab_)
        return;
    for (std::size_t i = 0; i < kGrabCount; ++i)
        xcb_ungrab_key(connection_.get(), *grabbedTab_, connection_.root(), grabModifiers(i));
    xcb_flush(connection_.get());
    grabbedTab_.reset();
}

void X11Keyboard::refreshKeymap() {
    if (!keymap_)
        return;
    auto keymap = X11Keymap::load(connection_.get(), deviceId_);
    if (!keymap)
        return;
    keymap_ = std::move(keymap);
    const auto tab = keymap_->tabKeycode();
    if (grabbedTab_ && tab && tab != grabbedTab_) {
        ungrabTab();
        grabTab(*tab);
    }
}

void X11Keyboard::readModifierState() {
    xcb_connection_t* c = connection_.get();
    Reply<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(
        c, xcb_xkb_get_state(c, static_cast<xcb_xkb_device_spec_t>(deviceId_)), nullptr));
    if (state)
        lastFlags_ = flagsFrom(state->mods);
}

void X11Keyboard::processEvents() {
    // A callback may spin a nested loop that lands here again; the outer call goes on
    // with whatever is queued.
    if (processing_)
        return;
    processing_ = true;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())})
        handle(event.get());
    processing_ = false;
}

void X11Keyboard::handle(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS) {
        onKeyPress(*reinterpret_cast<const xcb_key_press_event_t*>(event));
    } else if (type == XCB_KEY_RELEASE) {
        onKeyRelease(*reinterpret_cast<const xcb_key_release_event_t*>(event));
    } else if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request !=
            XCB_MAPPING_POINTER) {
            refreshKeymap();
        }
    } else if (xkbReady_ && type == xkbEventBase_) {
        const std::uint8_t xkbType = xkbTypeOf(event);
        if (xkbType == XCB_XKB_STATE_NOTIFY) {
            onModifiers(reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event)->mods);
        } else if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) {
            refreshKeymap();
        }
    }
}

void X11Keyboard::onKeyPress(const xcb_key_press_event_t& press) {
    xcb_connection_t* c = connection_.get();
    const bool fromPassiveGrab = !holdsKeyboard_;
    // While we hold the keyboard, modifier presses are flag changes, which the XKB state
    // notifications report.
    if (!fromPassiveGrab && keymap_->isModifier(press.detail))
        return;
    std::optional<xcb_grab_keyboard_cookie_t> grab;
    if (fromPassiveGrab) {
        if (!delivering()) {
            // No tap listens: the key goes on to the focused window as if never grabbed.
            xcb_allow_events(c, XCB_ALLOW_REPLAY_KEYBOARD, press.time);
            xcb_flush(c);
            return;
        }
        // Take the keyboard and thaw it in one go, before anything else runs: a fast
        // Super release is then ours, and the keyboard never stays frozen.
        grab = xcb_grab_keyboard(c, 0, connection_.root(), press.time, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
        xcb_allow_events(c, XCB_ALLOW_ASYNC_KEYBOARD, press.time);
        xcb_flush(c);
        holdsKeyboard_ = true;
    }
    KeyboardEvent event{kCGEventKeyDown, flagsFrom(press.state),
                        keymap_->virtualKeyCode(press.detail),
                        keymap_->charactersIgnoringModifiers(press.detail, press.state)};
    KeyboardEvent* passed = deliver(kCGEventKeyDown, event);
    if (grab) {
        Reply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(c, *grab, nullptr));
        if (!reply || reply->status != XCB_GRAB_STATUS_SUCCESS)
            holdsKeyboard_ = false;
    }
    if (passed != nullptr && holdsKeyboard_)
        monitors_.dispatchKeyDown(*passed);
}

void X11Keyboard::onKeyRelease(const xcb_key_release_event_t& release) {
    if (!holdsKeyboard_ || !keymap_->setsSuper(release.detail))
        return;
    // Releasing Super ends the switch: the keyboard goes back before the commit runs.
    releaseKeyboard();
    const std::uint64_t flags = flagsFrom(release.state) & ~kCGEventFlagMaskCommand;
    if ((lastFlags_ & kCGEventFlagMaskCommand) == 0)
        return;  // the state notification came first and has committed already
    lastFlags_ = flags;
    KeyboardEvent event{kCGEventFlagsChanged, flags, keymap_->virtualKeyCode(release.detail),
                        std::nullopt};
    deliver(kCGEventFlagsChanged, event);
}

void X11Keyboard::onModifiers(std::uint8_t mods) {
    const std::uint64_t flags = flagsFrom(mods);
    const std::uint64_t command = kCGEventFlagMaskCommand;
    if ((lastFlags_ & command) != 0 && (flags & command) == 0)
        releaseKeyboard();
    if (flags == lastFlags_)
        return;
    lastFlags_ = flags;
    KeyboardEvent event{kCGEventFlagsChanged, flags, 0, std::nullopt};
    deliver(kCGEventFlagsChanged, event);
}

KeyboardEvent* X11Keyboard::deliver(std::uint32_t type, KeyboardEvent& event) {
    if (!delivering() || (eventsOfInterest_ & (std::uint64_t{1} << type)) == 0)
        return &event;
    return callback_(nullptr, type, &event, context_);
}

bool X11Keyboard::grabKeyboard() {
    if (holdsKeyboard_)
        return true;
    if (!loadKeymap())
        return false;
    xcb_connection_t* c = connection_.get();
    Reply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, connection_.root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    holdsKeyboard_ = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    noteOutOfBandRead();
    return holdsKeyboard_;
}

void X11Keyboard::releaseKeyboard() {
    if (!holdsKeyboard_)
        return;
    xcb_ungrab_keyboard(connection_.get(), XCB_CURRENT_TIME);
    // Once this returns the keyboard is the focused window's again, whatever other
    // clients do next.
    connection_.sync();
    holdsKeyboard_ = false;
    noteOutOfBandRead();
}

void X11Keyboard::noteOutOfBandRead() {
    if (!processing_ && queuedEvents_)
        queuedEvents_();
}

}  // namespace tavrel::x11
