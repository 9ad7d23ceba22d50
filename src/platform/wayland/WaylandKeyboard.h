#pragma once
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/EventTap.h"
#include "platform/wayland/Protocols.h"
#include "platform/wayland/RepeatTimer.h"
#include "platform/wayland/SwitchModifiers.h"

namespace tavrel::desktop {
class KeyMonitors;
}

namespace tavrel::wayland {

// The event tap on sway. Super+Tab and Super+Shift+Tab arrive as sway bindings while another
// window has the keyboard (installHotkey puts them in place; bindingHeard delivers them); once
// the panel has the keyboard focus every key arrives through wl_keyboard, passes the tap
// first and then reaches the key monitors, and Super's release is Mod4 leaving the
// modifiers. Keymaps come from the compositor; keys repeat as repeat_info says.
class WaylandKeyboard final : public EventTaps {
  public:
    // Installs the hotkey bindings; false with the reason when they cannot be had.
    using HotkeyInstaller = std::function<bool(std::string* whyNot)>;

    // `monitors` and `loop` outlive the keyboard.
    WaylandKeyboard(desktop::KeyMonitors& monitors, MainLoop& loop);
    ~WaylandKeyboard() override;
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    void setHotkeyInstaller(HotkeyInstaller installer) { installHotkey_ = std::move(installer); }
    // The hotkey stopped working while the tap exists (the bindings could not be put back).
    void reportObstacle(const std::string& line);

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
    std::optional<std::string> tapCreateFailureCause() override { return failureCause_; }
    // While the tap cannot be created it is tried again every few seconds: another tavrel may
    // quit, sway may take the bindings after a reload.
    void watchTapObstacles(std::function<void()> retry,
                           std::function<void(const std::string& line)> obstacle) override;

    // Sway ran one of the hotkey bindings.
    void bindingHeard(bool shift);
    // The seat gained or lost its keyboard.
    void attach(wl_keyboard* keyboard);
    void detach();

    // wl_keyboard's events.
    void keymap(std::uint32_t format, int fd, std::uint32_t size);
    void enter();
    void leave();
    void key(std::uint32_t key, std::uint32_t state);
    void modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group);
    void repeatInfo(std::int32_t rate, std::int32_t delay);

  private:
    struct KeymapDeleter {
        void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
    };
    struct StateDeleter {
        void operator()(xkb_state* s) const { xkb_state_unref(s); }
    };
    struct ContextDeleter {
        void operator()(xkb_context* c) const { xkb_context_unref(c); }
    };

    std::uint64_t currentFlags() const;
    KeyboardEvent eventFor(xkb_keycode_t keycode) const;
    std::string charactersIgnoringModifiers(xkb_keycode_t keycode) const;
    bool isModifierKey(xkb_keycode_t keycode) const;
    void pressKey(xkb_keycode_t keycode);
    void flagsChanged(std::optional<std::uint64_t> flags);
    KeyboardEvent* deliver(std::uint32_t type, KeyboardEvent& event);
    bool delivering() const { return callback_ != nullptr && scheduled_ && enabled_; }
    void stopRepeat();

    desktop::KeyMonitors& monitors_;
    HotkeyInstaller installHotkey_;
    std::optional<std::string> failureCause_;
    std::function<void()> retry_;
    std::function<void(const std::string&)> obstacle_;
    MainLoop& loop_;

    wl_keyboard* keyboard_ = nullptr;
    std::unique_ptr<xkb_context, ContextDeleter> xkb_;
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap_;
    std::unique_ptr<xkb_state, StateDeleter> state_;
    xkb_mod_index_t shift_ = XKB_MOD_INVALID, caps_ = XKB_MOD_INVALID, control_ = XKB_MOD_INVALID,
                    alt_ = XKB_MOD_INVALID, logo_ = XKB_MOD_INVALID, num_ = XKB_MOD_INVALID;
    bool focused_ = false;
    SwitchModifiers switchModifiers_;

    RepeatTimer retryTimer_;
    RepeatTimer repeat_;
    std::optional<xkb_keycode_t> repeating_;
    int repeatDelayMs_ = 600;
    int repeatIntervalMs_ = 40;

    EventTapCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::uint64_t eventsOfInterest_ = 0;
    bool scheduled_ = false;
    bool enabled_ = false;
};

}  // namespace tavrel::wayland
