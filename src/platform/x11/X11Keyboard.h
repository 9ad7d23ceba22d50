#pragma once
#include <xcb/xcb.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/EventTap.h"
#include "platform/MainLoop.h"
#include "platform/x11/LoopTimer.h"
#include "platform/x11/SuperTabWitness.h"
#include "platform/x11/X11Keymap.h"

namespace tavrel::desktop {
class KeyMonitors;
}

namespace tavrel::x11 {

class DesktopWatch;
class X11Connection;

// The event tap over one xcb connection that carries all keyboard input, so that key
// events and modifier changes arrive in the server's order. Super+Tab (every combination of
// the other modifiers) is grabbed passively and synchronously. The keyboard is held only as
// long as something needs it: the Super+Tab grab from its press until Tab goes up, and the
// panel while it shows. Held keys are frozen one at a time until decided: a key that neither
// the tap nor the key monitors use is replayed to the focused window, as if never taken.
// Modifier changes come from XKB state notifications, which arrive whoever holds the keyboard.
//
// When another program holds Super+Tab, the tap cannot be created: the cause names the window
// manager and its setting, and the tap is tried again every second and whenever another
// window manager takes over. When something takes the key before the grab can (a window
// manager that grabs Super itself), the witness notices and the obstacle is reported.
class X11Keyboard final : public EventTaps {
  public:
    // `desktop` says which window manager runs; `loop` runs the retries. Both outlive this.
    X11Keyboard(X11Connection& connection, desktop::KeyMonitors& monitors, DesktopWatch& desktop,
                MainLoop& loop);
    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // Nothing when XKB is missing or another client holds any of the Super+Tab grabs.
    std::optional<EventTapHandle> tapCreate(std::uint32_t location, std::uint32_t placement,
                                            std::uint32_t options, std::uint64_t eventsOfInterest,
                                            EventTapCallback callback, void* context) override;
    RunLoopSourceHandle createRunLoopSource(EventTapHandle tap, std::int64_t order) override;
    void addSourceToMainRunLoop(RunLoopSourceHandle source) override;
    void removeSourceFromMainRunLoop(RunLoopSourceHandle source) override;
    void tapEnable(EventTapHandle tap, bool enable) override;
    std::uint64_t eventGetFlags(const KeyboardEvent& event) override { return event.flags; }
    std::int64_t eventGetIntegerValueField(const KeyboardEvent& event,
                                           std::uint32_t field) override;
    std::optional<std::string> tapCreateFailureCause() override;
    void watchTapObstacles(std::function<void()> retry,
                           std::function<void(const std::string&)> obstacle) override;

    // Handles everything the connection has received; runs on the main thread.
    void processEvents();
    // Takes the whole keyboard (the panel shows); true on success.
    bool grabKeyboard();
    // Lets go of the keyboard (the panel has hidden).
    void releaseKeyboard();
    // The server time of the key event being handled now, so that what it causes (raising
    // the chosen window) carries the user's own timestamp; XCB_CURRENT_TIME between events.
    xcb_timestamp_t inputTime() const { return inputTime_; }
    // Where the pointer was, in root pixels, when the key event being handled happened;
    // nothing between key events.
    std::optional<std::pair<std::int16_t, std::int16_t>> inputPointer() const {
        return inputPointer_;
    }
    // Called when a call from outside processEvents() has read events off the connection:
    // they wait in xcb's queue, where the connection's readiness no longer tells of them.
    void setQueuedEventsHandler(std::function<void()> handler) {
        queuedEvents_ = std::move(handler);
    }
    // Called once the release of Super has ended a switch and its requests have been sent.
    void setSwitchEndedHandler(std::function<void()> handler) { switchEnded_ = std::move(handler); }
    // Another window manager took over, or the last one went.
    void windowManagerChanged();

  private:
    // Who holds the keyboard: nobody, the Super+Tab grab (from its press until Tab goes up),
    // or the panel.
    enum class Hold { none, hotkey, panel };

    bool setUpXkb();
    bool loadKeymap();
    bool grabTab(xcb_keycode_t keycode);
    void ungrabTab();
    void refreshKeymap();
    void readModifierState();
    void handle(const xcb_generic_event_t* event);
    void handleEvent(const xcb_generic_event_t* event, std::uint8_t type);
    void onKeyPress(const xcb_key_press_event_t& press);
    void onKeyRelease(const xcb_key_release_event_t& release);
    void onSuperRelease(const xcb_key_release_event_t& release);
    void onModifiers(std::uint8_t mods);
    KeyboardEvent* deliver(std::uint32_t type, KeyboardEvent& event);
    bool delivering() const { return callback_ != nullptr && scheduled_ && enabled_; }
    bool isSuperTab(xcb_keycode_t keycode, std::uint16_t state) const;
    // The held key stays with this program; the next one is frozen for a decision.
    void keep();
    // The held key goes on to the focused window; the panel takes the keyboard back after it.
    void passOn();
    // An active, synchronous grab of the whole keyboard for the panel.
    bool takeKeyboard();
    // Whoever holds the keyboard for this program lets go.
    void letGo();
    // The ungrab asked for, to leave with the next write (true), or nothing held (false); and
    // the server's having done it.
    bool ungrab();
    void awaitUngrab();
    // Hands the release of Super on; false when the switch had already ended with the state
    // notification that came before it.
    bool deliverSuperRelease(const xcb_key_release_event_t& release);
    void switchEnded();
    void retryIfFree();
    void noteOutOfBandRead();

    X11Connection& connection_;
    desktop::KeyMonitors& monitors_;
    DesktopWatch& desktop_;
    std::unique_ptr<X11Keymap> keymap_;
    bool xkbReady_ = false;
    std::uint8_t xkbEventBase_ = 0;
    std::int32_t deviceId_ = -1;

    EventTapCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::uint64_t eventsOfInterest_ = 0;
    bool scheduled_ = false;
    bool enabled_ = false;
    std::optional<xcb_keycode_t> grabbedTab_;
    // The modifiers of the first Super+Tab combination another client held at the last try.
    std::optional<std::uint16_t> refusedModifiers_;
    Hold hold_ = Hold::none;
    // A held key is being decided: its own answer is still to come.
    bool handling_ = false;
    // Keys whose press went on to the focused window: their release follows it.
    std::bitset<256> passedOn_;
    std::uint64_t lastFlags_ = 0;
    std::uint8_t lastMods_ = 0;
    bool processing_ = false;
    xcb_timestamp_t inputTime_ = XCB_CURRENT_TIME;
    std::optional<std::pair<std::int16_t, std::int16_t>> inputPointer_;
    std::function<void()> queuedEvents_;
    std::function<void()> switchEnded_;
    std::function<void()> retry_;
    std::function<void(const std::string&)> obstacle_;
    LoopTimer retryTimer_;
    SuperTabWitness witness_;
};

}  // namespace tavrel::x11
