#include "platform/x11/X11Keyboard.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <utility>
#include <vector>

#include "platform/desktop/KeyMonitors.h"
#include "platform/x11/DesktopWatch.h"
#include "platform/x11/WindowManagerFacts.h"
#include "platform/x11/X11Connection.h"

// xkb.h names a field `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace tavrel::x11 {
namespace {

constexpr EventTapHandle kTheTap{1};
constexpr RunLoopSourceHandle kTheSource{1};
// How often a Super+Tab held by another client is looked at again: one request each time.
constexpr std::chrono::milliseconds kRetryInterval{1000};

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

// A combination as a user would name it: "Super+Shift+Tab", "Super+Tab with Num Lock on".
std::string keysNamed(std::uint16_t modifiers) {
    std::string keys = "Super";
    const std::pair<std::uint16_t, const char*> held[] = {{XCB_MOD_MASK_SHIFT, "+Shift"},
                                                          {XCB_MOD_MASK_CONTROL, "+Ctrl"},
                                                          {XCB_MOD_MASK_1, "+Alt"},
                                                          {XCB_MOD_MASK_3, "+Mod3"},
                                                          {XCB_MOD_MASK_5, "+AltGr"}};
    for (const auto& [bit, name] : held) {
        if ((modifiers & bit) != 0)
            keys += name;
    }
    keys += "+Tab";
    std::string locks;
    for (const auto& [bit, name] :
         {std::pair<std::uint16_t, const char*>{XCB_MOD_MASK_LOCK, "Caps Lock"},
          {XCB_MOD_MASK_2, "Num Lock"}}) {
        if ((modifiers & bit) != 0)
            locks += (locks.empty() ? "" : " and ") + std::string(name);
    }
    return locks.empty() ? keys : keys + " with " + locks + " on";
}

// Marks the handling of one held key, during which its own answer is still to come.
class Handling {
  public:
    explicit Handling(bool& flag) : flag_(flag) { flag_ = true; }
    ~Handling() { flag_ = false; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;

  private:
    bool& flag_;
};

// XKB events share one event code and tell themselves apart by their second byte.
std::uint8_t xkbTypeOf(const xcb_generic_event_t* event) {
    return reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event)->xkbType;
}

// When the server saw a key or modifier event; XCB_CURRENT_TIME for any other.
xcb_timestamp_t timeOf(const xcb_generic_event_t& event, std::uint8_t xkbEventBase) {
    const std::uint8_t type = event.response_type & 0x7f;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE)
        return reinterpret_cast<const xcb_key_press_event_t&>(event).time;
    if (xkbEventBase != 0 && type == xkbEventBase && xkbTypeOf(&event) == XCB_XKB_STATE_NOTIFY)
        return reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event).time;
    return XCB_CURRENT_TIME;
}

}  // namespace

X11Keyboard::X11Keyboard(X11Connection& connection, desktop::KeyMonitors& monitors,
                         DesktopWatch& desktop, MainLoop& loop)
    : connection_(connection),
      monitors_(monitors),
      desktop_(desktop),
      retryTimer_(loop, [this] { retryIfFree(); }),
      witness_(
          connection, loop, [this] { processEvents(); },
          [this] {
              if (obstacle_)
                  obstacle_(unseenKeyExplanation(desktop_.windowManager()));
          }) {}

X11Keyboard::~X11Keyboard() {
    letGo();
    ungrabTab();
}

std::optional<EventTapHandle> X11Keyboard::tapCreate(std::uint32_t, std::uint32_t, std::uint32_t,
                                                     std::uint64_t eventsOfInterest,
                                                     EventTapCallback callback, void* context) {
    const bool ready = callback_ == nullptr && callback != nullptr && loadKeymap() &&
                       keymap_->tabKeycode() && grabTab(*keymap_->tabKeycode());
    if (ready)
        witness_.watch();
    noteOutOfBandRead();
    if (!ready) {
        // Only a key another client holds can come free.
        if (refusedModifiers_ && retry_ && !retryTimer_.running())
            retryTimer_.start(kRetryInterval, true);
        return std::nullopt;
    }
    retryTimer_.stop();
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

std::optional<std::string> X11Keyboard::tapCreateFailureCause() {
    if (!refusedModifiers_)
        return std::nullopt;
    return heldKeyExplanation(keysNamed(*refusedModifiers_), desktop_.windowManager());
}

void X11Keyboard::watchTapObstacles(std::function<void()> retry,
                                    std::function<void(const std::string&)> obstacle) {
    retry_ = std::move(retry);
    obstacle_ = std::move(obstacle);
    if (!retry_)
        retryTimer_.stop();
}

void X11Keyboard::windowManagerChanged() {
    if (callback_ != nullptr) {
        witness_.windowManagerChanged();
        return;
    }
    if (retry_ && refusedModifiers_)
        retry_();
}

void X11Keyboard::retryIfFree() {
    if (!retry_ || callback_ != nullptr || !refusedModifiers_ || !keymap_ ||
        !keymap_->tabKeycode() || connection_.broken()) {
        retryTimer_.stop();
        return;
    }
    // One request tells whether the combination refused last time is still held.
    xcb_connection_t* c = connection_.get();
    const xcb_keycode_t tab = *keymap_->tabKeycode();
    Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_grab_key_checked(c, 0, connection_.root(), *refusedModifiers_, tab,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC)));
    noteOutOfBandRead();
    if (error)
        return;
    xcb_ungrab_key(c, tab, connection_.root(), *refusedModifiers_);
    retry_();
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
    refusedModifiers_.reset();
    for (std::size_t i = 0; i < kGrabCount; ++i) {
        Reply<xcb_generic_error_t> error(xcb_request_check(c, cookies[i]));
        if (!error)
            taken.push_back(grabModifiers(i));
        else if (!refusedModifiers_)
            refusedModifiers_ = grabModifiers(i);
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
    if (!state)
        return;
    lastMods_ = state->mods;
    lastFlags_ = flagsFrom(state->mods);
}

void X11Keyboard::processEvents() {
    // A callback may spin a nested loop that lands here again; the outer call goes on
    // with whatever is queued.
    if (processing_)
        return;
    processing_ = true;
    for (;;) {
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection_.get())})
            handle(event.get());
        // Looking for the active window's answers reads the connection: events that came
        // with them wait in xcb's queue, where the connection's readiness no longer tells of
        // them, and a key left there would keep the frozen keyboard frozen.
        desktop_.settle();
        Reply<xcb_generic_event_t> queued{xcb_poll_for_queued_event(connection_.get())};
        if (!queued)
            break;
        handle(queued.get());
    }
    processing_ = false;
}

void X11Keyboard::handle(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    inputTime_ = timeOf(*event, xkbReady_ ? xkbEventBase_ : 0);
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto& key = *reinterpret_cast<const xcb_key_press_event_t*>(event);
        inputPointer_ = std::pair{key.root_x, key.root_y};
    }
    handleEvent(event, type);
    inputTime_ = XCB_CURRENT_TIME;
    inputPointer_.reset();
}

void X11Keyboard::handleEvent(const xcb_generic_event_t* event, std::uint8_t type) {
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
    } else if (!keymap_ || !witness_.handleEvent(event, *keymap_)) {
        desktop_.handleEvent(event);
    }
}

bool X11Keyboard::isSuperTab(xcb_keycode_t keycode, std::uint16_t state) const {
    return grabbedTab_ == keycode && (state & XCB_MOD_MASK_4) != 0;
}

void X11Keyboard::onKeyPress(const xcb_key_press_event_t& press) {
    if (!keymap_)
        return;
    const bool superTab = isSuperTab(press.detail, press.state);
    if (superTab)
        witness_.grabFired();
    const Handling handling(handling_);
    if (hold_ == Hold::none) {
        // Only the Super+Tab grab starts a hold: anything else was sent before the last one
        // ended, and the keyboard is not frozen for it.
        if (!superTab)
            return;
        hold_ = Hold::hotkey;
        if (!delivering()) {
            // No tap listens: the key goes on to the focused window as if never grabbed.
            passOn();
            return;
        }
    }
    if (keymap_->isModifier(press.detail)) {
        // A modifier change, which the XKB state notifications report: the panel keeps it,
        // without a panel it goes on.
        if (hold_ == Hold::panel) {
            keep();
        } else {
            passOn();
        }
        return;
    }
    KeyboardEvent event{kCGEventKeyDown, flagsFrom(press.state),
                        keymap_->virtualKeyCode(press.detail),
                        keymap_->charactersIgnoringModifiers(press.detail, press.state)};
    KeyboardEvent* passed = deliver(kCGEventKeyDown, event);
    if (passed != nullptr && hold_ == Hold::panel && !monitors_.dispatchKeyDown(*passed))
        passed = nullptr;
    if (passed == nullptr) {
        keep();
        return;
    }
    passedOn_.set(press.detail);
    passOn();
}

void X11Keyboard::onKeyRelease(const xcb_key_release_event_t& release) {
    if (hold_ == Hold::none || !keymap_)
        return;
    if (keymap_->setsSuper(release.detail)) {
        onSuperRelease(release);
        return;
    }
    const Handling handling(handling_);
    const bool endsHotkeyGrab = hold_ == Hold::hotkey && grabbedTab_ == release.detail;
    if (passedOn_.test(release.detail)) {
        passedOn_.reset(release.detail);
        passOn();
    } else {
        keep();
    }
    // The Super+Tab grab ends with Tab's release.
    if (endsHotkeyGrab) {
        hold_ = Hold::none;
        passedOn_.reset();
    }
}

void X11Keyboard::onSuperRelease(const xcb_key_release_event_t& release) {
    // Releasing Super ends the switch: the release goes on to the focused window, which saw
    // Super go down, and the keyboard is that window's again before the commit acts. The
    // ungrab leaves with the commit's requests to the window manager, which follow it on this
    // connection, in one write: written alone, it would wake the server, which on a busy
    // machine takes the processor before the commit is made. The server's answer is waited
    // for once the commit is sent.
    xcb_allow_events(connection_.get(), XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
    const bool ungrabbed = ungrab();
    const bool ended = deliverSuperRelease(release);
    if (ungrabbed)
        awaitUngrab();
    if (ended)
        switchEnded();
}

bool X11Keyboard::deliverSuperRelease(const xcb_key_release_event_t& release) {
    const std::uint64_t flags = flagsFrom(release.state) & ~kCGEventFlagMaskCommand;
    if ((lastFlags_ & kCGEventFlagMaskCommand) == 0)
        return false;  // the state notification came first and has committed already
    lastFlags_ = flags;
    lastMods_ = static_cast<std::uint8_t>(release.state & ~XCB_MOD_MASK_4);
    KeyboardEvent event{kCGEventFlagsChanged, flags, keymap_->virtualKeyCode(release.detail),
                        std::nullopt};
    deliver(kCGEventFlagsChanged, event);
    return true;
}

void X11Keyboard::onModifiers(std::uint8_t mods) {
    const std::uint64_t flags = flagsFrom(mods);
    const std::uint64_t command = kCGEventFlagMaskCommand;
    const bool superReleased = (lastFlags_ & command) != 0 && (flags & command) == 0;
    const bool held = hold_ != Hold::none;
    if (superReleased)
        letGo();
    // Every change counts, also of modifiers the flags do not name (AltGr, Num Lock).
    if (mods == lastMods_)
        return;
    lastMods_ = mods;
    lastFlags_ = flags;
    KeyboardEvent event{kCGEventFlagsChanged, flags, 0, std::nullopt};
    deliver(kCGEventFlagsChanged, event);
    if (superReleased && held)
        switchEnded();
}

void X11Keyboard::switchEnded() {
    if (switchEnded_)
        switchEnded_();
}

void X11Keyboard::keep() {
    if (hold_ == Hold::none)
        return;
    xcb_allow_events(connection_.get(), XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
    xcb_flush(connection_.get());
}

void X11Keyboard::passOn() {
    // Replayed, the key reaches the focused window as if it had never been grabbed; the grab
    // ends with it.
    xcb_allow_events(connection_.get(), XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
    if (hold_ == Hold::panel && takeKeyboard()) {
        keep();
        return;
    }
    hold_ = Hold::none;
    passedOn_.reset();
    xcb_flush(connection_.get());
}

bool X11Keyboard::takeKeyboard() {
    xcb_connection_t* c = connection_.get();
    // Synchronous: each key waits, frozen, until it is decided.
    Reply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, connection_.root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC),
                                nullptr));
    noteOutOfBandRead();
    if (!reply || reply->status != XCB_GRAB_STATUS_SUCCESS)
        return false;
    hold_ = Hold::panel;
    return true;
}

void X11Keyboard::letGo() {
    // Once this returns the keyboard is the focused window's again, whatever other clients
    // do next.
    if (ungrab())
        awaitUngrab();
}

bool X11Keyboard::ungrab() {
    if (hold_ == Hold::none)
        return false;
    xcb_ungrab_keyboard(connection_.get(), XCB_CURRENT_TIME);
    hold_ = Hold::none;
    passedOn_.reset();
    return true;
}

void X11Keyboard::awaitUngrab() {
    connection_.sync();
    noteOutOfBandRead();
}

KeyboardEvent* X11Keyboard::deliver(std::uint32_t type, KeyboardEvent& event) {
    if (!delivering() || (eventsOfInterest_ & (std::uint64_t{1} << type)) == 0)
        return &event;
    return callback_(nullptr, type, &event, context_);
}

bool X11Keyboard::grabKeyboard() {
    if (hold_ == Hold::panel)
        return true;
    if (!loadKeymap() || !takeKeyboard())
        return false;
    // While a held key is being decided, its answer lets the next key come; otherwise the
    // keyboard, frozen by the grab, is let go until then now.
    if (!handling_)
        keep();
    return true;
}

void X11Keyboard::releaseKeyboard() {
    if (hold_ == Hold::panel)
        letGo();
}

void X11Keyboard::noteOutOfBandRead() {
    if (!processing_ && queuedEvents_)
        queuedEvents_();
}

}  // namespace tavrel::x11
