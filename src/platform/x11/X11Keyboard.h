#pragma once
#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/EventTap.h"
#include "platform/x11/X11Keymap.h"

namespace tavrel::desktop {
class KeyMonitors;
}

namespace tavrel::x11 {

class X11Connection;

// The event tap over one xcb connection that carries all keyboard input, so that key
// events and modifier changes arrive in the server's order. Super+Tab (every
// combination of the other modifiers) is grabbed passively and synchronously; its press
// takes the whole keyboard until Super is released or the program lets go, and every key
// meanwhile goes through the tap and then to the key monitors. Modifier changes come from
// XKB state notifications, which keep arriving while we hold the keyboard.
class X11Keyboard final : public EventTaps {
  public:
    X11Keyboard(X11Connection& connection, desktop::KeyMonitors& monitors);
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

    // Handles everything the connection has received; runs on the main thread.
    void processEvents();
    // Takes the whole keyboard (when the panel shows without the hotkey); true on success.
    bool grabKeyboard();
    // Lets go of the keyboard (the panel has hidden).
    void releaseKeyboard();
    // Called when a call from outside processEvents() has read events off the connection:
    // they wait in xcb's queue, where the connection's readiness no longer tells of them.
    void setQueuedEventsHandler(std::function<void()> handler) {
        queuedEvents_ = std::move(handler);
    }

  private:
    bool setUpXkb();
    bool loadKeymap();
    bool grabTab(xcb_keycode_t keycode);
    void ungrabTab();
    void refreshKeymap();
    void readModifierState();
    void handle(const xcb_generic_event_t* event);
    void onKeyPress(const xcb_key_press_event_t& press);
    void onKeyRelease(const xcb_key_release_event_t& release);
    void onModifiers(std::uint8_t mods);
    KeyboardEvent* deliver(std::uint32_t type, KeyboardEvent& event);
    bool delivering() const { return callback_ != nullptr && scheduled_ && enabled_; }
    void noteOutOfBandRead();

    X11Connection& connection_;
    desktop::KeyMonitors& monitors_;
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
    bool holdsKeyboard_ = false;
    std::uint64_t lastFlags_ = 0;
    bool processing_ = false;
    std::function<void()> queuedEvents_;
};

}  // namespace tavrel::x11
