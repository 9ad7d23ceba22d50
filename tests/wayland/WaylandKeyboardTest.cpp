#include "platform/wayland/WaylandKeyboard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/MainLoop.h"
#include "platform/desktop/KeyMonitors.h"

namespace tavrel::wayland {
namespace {

class IdleLoop final : public MainLoop {
  public:
    void watchReadable(int, std::function<void()>) override {}
    void unwatch(int) override {}
    void post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    std::vector<std::function<void()>> posted;
};

// What reached the tap and the key monitors, in order: "tap down 48 0x100000 ...".
struct Seen {
    std::vector<std::string> lines;
    static KeyboardEvent* tap(EventTapProxy, std::uint32_t type, KeyboardEvent* event,
                              void* context) {
        auto& seen = *static_cast<Seen*>(context);
        seen.lines.push_back((type == kCGEventKeyDown ? "down " : "flags ") +
                             std::to_string(event->keyCode) + " " + std::to_string(event->flags) +
                             " " + event->charactersIgnoringModifiers.value_or("-"));
        return event;
    }
};

// The keymap a compositor would send, as the protocol sends it: a file descriptor.
int keymapFile(std::uint32_t& size) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    size = static_cast<std::uint32_t>(std::strlen(text) + 1);
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    EXPECT_EQ(write(fd, text, size), static_cast<ssize_t>(size));
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return fd;
}

// Modifier masks of that keymap (real modifiers keep their X bit positions).
constexpr std::uint32_t kShiftMask = 1u << 0;
constexpr std::uint32_t kSuperMask = 1u << 6;
constexpr std::uint64_t kSuper = kCGEventFlagMaskCommand;
constexpr std::uint64_t kShift = kCGEventFlagMaskShift;

class WaylandKeyboardTest : public testing::Test {
  protected:
    void SetUp() override {
        std::uint32_t size = 0;
        const int fd = keymapFile(size);
        keyboard.keymap(WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
        keyboard.setHotkeyInstaller([](std::string*) { return true; });
        const auto tap =
            keyboard.tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
                               kHotkeyEventMask, &Seen::tap, &seen);
        ASSERT_TRUE(tap);
        keyboard.addSourceToMainRunLoop(keyboard.createRunLoopSource(*tap, 0));
        keyboard.tapEnable(*tap, true);
        monitors.addLocalMonitorForEventsMatchingMask(NSEventMaskKeyDown, [this](KeyboardEvent* e) {
            seen.lines.push_back("monitor " + std::to_string(e->keyCode));
            return nullptr;
        });
    }
    void press(std::uint32_t key) {
        keyboard.key(key, WL_KEYBOARD_KEY_STATE_PRESSED);
        keyboard.key(key, WL_KEYBOARD_KEY_STATE_RELEASED);
    }

    IdleLoop loop;
    desktop::KeyMonitors monitors;
    WaylandKeyboard keyboard{monitors, loop};
    Seen seen;
};

TEST_F(WaylandKeyboardTest, TheBindingOpensAndThePanelsKeyboardCarriesTheSwitch) {
    keyboard.bindingHeard(false);  // the panel has no focus yet: the tap alone hears it
    keyboard.enter();
    keyboard.modifiers(kSuperMask, 0, 0, 0);  // still held: no change
    press(KEY_TAB);
    keyboard.modifiers(kSuperMask | kShiftMask, 0, 0, 0);
    press(KEY_TAB);
    press(KEY_LEFTSHIFT);  // modifier keys are told as modifiers only
    press(KEY_A);          // Shift applies to the text, Super does not
    press(KEY_ESC);
    keyboard.modifiers(0, 0, 0, 0);  // Super let go
    const std::vector<std::string> expected = {
        "down 48 " + std::to_string(kSuper) + " \t",
        "down 48 " + std::to_string(kSuper) + " \t",
        "monitor 48",
        "flags 0 " + std::to_string(kSuper | kShift) + " -",
        "down 48 " + std::to_string(kSuper | kShift) + " ",  // ISO_Left_Tab types nothing
        "monitor 48",
        "down " + std::to_string(0x1000 + KEY_A + 8) + " " + std::to_string(kSuper | kShift) + " A",
        "monitor " + std::to_string(0x1000 + KEY_A + 8),
        "down 53 " + std::to_string(kSuper | kShift) + " \x1b",
        "monitor 53",
        "flags 0 0 -"};
    EXPECT_EQ(seen.lines, expected);
}

TEST_F(WaylandKeyboardTest, AQuickTapEndsWithTheFirstModifiersAndALostKeyboardLetsSuperGo) {
    keyboard.bindingHeard(false);
    keyboard.enter();
    keyboard.modifiers(0, 0, 0, 0);  // released before the panel had the keyboard
    keyboard.leave();                // the panel hid
    keyboard.bindingHeard(true);
    keyboard.enter();
    keyboard.leave();  // unplugged, or the panel lost the focus, with Super down
    press(KEY_TAB);    // no focus: nothing reaches the panel
    const std::vector<std::string> expected = {
        "down 48 " + std::to_string(kSuper) + " \t", "flags 0 0 -",
        "down 48 " + std::to_string(kSuper | kShift) + " \t", "flags 0 0 -"};
    EXPECT_EQ(seen.lines, expected);
}

TEST(WaylandKeyboardKeymaps, RefusesKeymapsItCannotBelieve) {
    IdleLoop loop;
    desktop::KeyMonitors monitors;
    WaylandKeyboard keyboard{monitors, loop};
    for (const std::uint32_t size : {0u, 64u << 20}) {
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        ASSERT_EQ(ftruncate(fd, 4096), 0);
        keyboard.keymap(WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);  // closes the fd
        EXPECT_EQ(fcntl(fd, F_GETFD), -1) << size;
    }
    const int garbage = memfd_create("keymap", MFD_CLOEXEC);
    ASSERT_EQ(write(garbage, "xkb_keymap { nonsense", 21), 21);
    keyboard.keymap(WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, garbage, 21);
    keyboard.enter();
    keyboard.key(KEY_A, WL_KEYBOARD_KEY_STATE_PRESSED);  // no keymap: nothing, no crash
}

}  // namespace
}  // namespace tavrel::wayland
