#include "platform/wayland/SwitchModifiers.h"

#include <gtest/gtest.h>

#include "platform/EventTap.h"

namespace tavrel::wayland {
namespace {

constexpr std::uint64_t kSuper = kCGEventFlagMaskCommand;
constexpr std::uint64_t kShift = kCGEventFlagMaskShift;

TEST(SwitchModifiers, TheFirstModifiersAfterTheBindingDecideWhetherSuperIsStillDown) {
    SwitchModifiers tapped;
    EXPECT_EQ(tapped.bindingPressed(false), kSuper);
    // Released before the panel had the keyboard: its first modifiers end the switch.
    EXPECT_EQ(tapped.modifiers(0), 0u);

    SwitchModifiers held;
    EXPECT_EQ(held.bindingPressed(true), kSuper | kShift);
    EXPECT_EQ(held.modifiers(kSuper | kShift), std::nullopt);
    EXPECT_EQ(held.modifiers(kSuper), kSuper);  // Shift up, Super still down
    EXPECT_EQ(held.modifiers(0), 0u);
}

TEST(SwitchModifiers, AKeyboardThatGoesAwayLetsItsKeysUp) {
    SwitchModifiers modifiers;
    modifiers.bindingPressed(false);
    EXPECT_EQ(modifiers.keyboardGone(), 0u);
    EXPECT_EQ(modifiers.keyboardGone(), std::nullopt);  // nothing was down any more
}

struct CapabilityCase {
    bool haveKeyboard, havePointer;
    std::uint32_t capabilities;
    DeviceChanges expected;
};

TEST(SeatCapabilities, KeyboardsAndPointersAreTakenAndLetGoBothWays) {
    constexpr std::uint32_t pointer = 1, keyboard = 2;
    const CapabilityCase cases[] = {
        {false, false, keyboard | pointer, {true, false, true, false}},
        {true, true, keyboard | pointer, {false, false, false, false}},
        {true, true, pointer, {false, true, false, false}},  // the keyboard was unplugged
        {false, true, keyboard | pointer, {true, false, false, false}},  // and plugged back
        {true, true, 0, {false, true, false, true}},
        {true, false, keyboard | 4, {false, false, false, false}},  // touch is not ours
    };
    for (const auto& c : cases) {
        const DeviceChanges got = followCapabilities(c.haveKeyboard, c.havePointer, c.capabilities);
        EXPECT_EQ(got.getKeyboard, c.expected.getKeyboard) << c.capabilities;
        EXPECT_EQ(got.releaseKeyboard, c.expected.releaseKeyboard) << c.capabilities;
        EXPECT_EQ(got.getPointer, c.expected.getPointer) << c.capabilities;
        EXPECT_EQ(got.releasePointer, c.expected.releasePointer) << c.capabilities;
    }
}

}  // namespace
}  // namespace tavrel::wayland
