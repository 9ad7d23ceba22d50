#include "core/HotkeyManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LogFileTail.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

using test::LogFileTail;

constexpr std::uint64_t kCommand = kCGEventFlagMaskCommand;
constexpr std::uint64_t kShift = kCGEventFlagMaskShift;
constexpr std::uint64_t kOption = kCGEventFlagMaskAlternate;
constexpr std::uint64_t kControl = kCGEventFlagMaskControl;
constexpr std::uint64_t kCapsLock = kCGEventFlagMaskAlphaShift;
constexpr std::int64_t kReturn = kVK_Return;

class HotkeyTest : public ::testing::Test {
  protected:
    HotkeyTest() {
        manager->onPress = [this] { called.push_back("press"); };
        manager->onShiftPress = [this] { called.push_back("shiftPress"); };
        manager->onModifiersReleased = [this] { called.push_back("released"); };
    }

    bool deliver(std::uint32_t type, std::uint64_t flags, std::int64_t keyCode = 0) {
        return platform.eventTaps.deliver(type, flags, keyCode);
    }

    fake::FakePlatform platform;
    std::vector<std::string> called;
    std::unique_ptr<HotkeyManager> manager = std::make_unique<HotkeyManager>();
};

struct Row {
    std::string gesture;
    std::uint32_t type;
    std::uint64_t flags;
    std::int64_t keyCode;
    std::vector<std::string> called;
    bool passes;
};

TEST_F(HotkeyTest, DecidesEveryKindOfEventByCommandShiftAndTabAlone) {
    const std::vector<Row> rows = {
        {"Cmd+Tab", kCGEventKeyDown, kCommand, kVK_Tab, {"press"}, false},
        {"Cmd+Shift+Tab", kCGEventKeyDown, kCommand | kShift, kVK_Tab, {"shiftPress"}, false},
        {"Cmd+Option+Tab", kCGEventKeyDown, kCommand | kOption, kVK_Tab, {"press"}, false},
        {"Cmd+Control+Tab", kCGEventKeyDown, kCommand | kControl, kVK_Tab, {"press"}, false},
        {"Cmd+CapsLock+Tab", kCGEventKeyDown, kCommand | kCapsLock, kVK_Tab, {"press"}, false},
        {"Cmd+Option+Shift+Tab",
         kCGEventKeyDown,
         kCommand | kOption | kShift,
         kVK_Tab,
         {"shiftPress"},
         false},
        {"Cmd+Return", kCGEventKeyDown, kCommand, kReturn, {}, true},
        {"Cmd+Shift+A", kCGEventKeyDown, kCommand | kShift, 0, {}, true},
        {"Tab", kCGEventKeyDown, 0, kVK_Tab, {}, true},
        {"Shift+Tab", kCGEventKeyDown, kShift, kVK_Tab, {}, true},
        {"Option+Control+Tab", kCGEventKeyDown, kOption | kControl, kVK_Tab, {}, true},
        {"all modifiers up", kCGEventFlagsChanged, 0, 0, {"released"}, true},
        {"Shift alone", kCGEventFlagsChanged, kShift, 0, {"released"}, true},
        {"Option+Control", kCGEventFlagsChanged, kOption | kControl, 0, {"released"}, true},
        {"Cmd held", kCGEventFlagsChanged, kCommand, 0, {}, true},
        {"Cmd+Shift held", kCGEventFlagsChanged, kCommand | kShift, 0, {}, true},
    };
    manager->registerTap();
    for (const Row& row : rows) {
        called.clear();
        EXPECT_EQ(deliver(row.type, row.flags, row.keyCode), row.passes) << row.gesture;
        EXPECT_EQ(called, row.called) << row.gesture;
    }
}

TEST_F(HotkeyTest, EventsOutsideTheMaskPassWithoutCallingAnything) {
    manager->registerTap();
    for (const std::uint32_t type : {1u, 11u, 13u, 22u}) {
        EXPECT_TRUE(platform.eventTaps.invoke(type, kCommand, kVK_Tab)) << type;
        EXPECT_TRUE(platform.eventTaps.invoke(type, 0)) << type;
    }
    EXPECT_TRUE(called.empty());
}

TEST_F(HotkeyTest, FollowsAWholeSwitchGesture) {
    manager->registerTap();
    EXPECT_TRUE(deliver(kCGEventFlagsChanged, kCommand));  // Cmd down
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));  // auto-repeat
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_TRUE(deliver(kCGEventFlagsChanged, kCommand | kShift));  // Shift down, Cmd held
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand | kShift, kVK_Tab));
    EXPECT_TRUE(deliver(kCGEventFlagsChanged, kShift));  // Cmd up, Shift still held
    EXPECT_TRUE(deliver(kCGEventFlagsChanged, 0));       // Shift up
    EXPECT_EQ(called, (std::vector<std::string>{"press", "press", "press", "shiftPress", "released",
                                                "released"}));
}

TEST_F(HotkeyTest, WorksWithoutCallbacksAndStillDropsCommandTab) {
    manager->onPress = nullptr;
    manager->onShiftPress = nullptr;
    manager->onModifiersReleased = nullptr;
    manager->registerTap();
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand | kShift, kVK_Tab));
    EXPECT_TRUE(deliver(kCGEventFlagsChanged, 0));
}

TEST_F(HotkeyTest, ASwitchedOffTapIsSwitchedBackOnByThePseudoEventWhichPasses) {
    manager->registerTap();
    for (const std::uint32_t pseudo :
         {kCGEventTapDisabledByTimeout, kCGEventTapDisabledByUserInput}) {
        platform.eventTaps.enabled = false;  // the system gave up on the tap
        EXPECT_TRUE(deliver(pseudo, 0)) << pseudo;
        EXPECT_TRUE(platform.eventTaps.enabled) << pseudo;
    }
    EXPECT_TRUE(called.empty());  // a pseudo event without Command is no release
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_EQ(called, std::vector<std::string>{"press"});
}

TEST_F(HotkeyTest, RegisteringCreatesSchedulesAndEnablesTheTapAndLogsIt) {
    const LogFileTail tail;
    manager->registerTap();
    EXPECT_EQ(platform.calls.calls(),
              (std::vector<std::string>{"tapCreate 1 0 0 5120", "createRunLoopSource 0",
                                        "addSource", "tapEnable true"}));
    EXPECT_EQ(platform.eventTaps.mask, 0x1400u);
    EXPECT_TRUE(platform.processInfo.standardError.empty());
    const std::string text = tail.appended();
    EXPECT_EQ(text.substr(13), "] event tap created and enabled\n");

    platform.calls.clear();
    manager->registerTap();  // a second tap would outlive the manager
    EXPECT_TRUE(platform.calls.calls().empty());
}

TEST_F(HotkeyTest, WithoutPermissionReportsOnceToTheLogAndStandardError) {
    const LogFileTail tail;
    platform.eventTaps.allowCreate = false;
    manager->registerTap();

    EXPECT_EQ(platform.calls.calls(),
              (std::vector<std::string>{"tapCreate 1 0 0 5120", "writeToStandardError"}));
    EXPECT_EQ(
        platform.processInfo.standardError,
        "tavrel: could not create event tap \xE2\x80\x94 Accessibility permission required\n");
    const std::string text = tail.appended();
    EXPECT_EQ(text.substr(13),
              "] ERROR: CGEvent.tapCreate returned nil \xE2\x80\x94 Accessibility not granted (or "
              "revoked due to signature change)\n");
    EXPECT_TRUE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_TRUE(called.empty());
}

// The messages of the lines appended since the tail was made, without their time stamps.
std::vector<std::string> messages(const LogFileTail& tail) {
    std::vector<std::string> lines;
    std::istringstream text(tail.appended());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.substr(15));
    return lines;
}

TEST_F(HotkeyTest, AKeyHeldElsewhereIsExplainedAndTakenOnceTheDesktopSaysItMayBeFree) {
    const LogFileTail tail;
    const std::string held = "Super+Tab is held by another program: the window manager Xfwm4";
    const std::string failed =
        "ERROR: CGEvent.tapCreate returned nil \xE2\x80\x94 Accessibility not granted (or "
        "revoked due to signature change)";
    platform.eventTaps.allowCreate = false;
    platform.eventTaps.failureCause = held;
    manager->registerTap();
    ASSERT_TRUE(platform.eventTaps.retry);
    platform.eventTaps.retry();  // still held, for the same reason: nothing new to say
    platform.eventTaps.failureCause = "Super+Tab is held by another program: Fluxbox";
    platform.eventTaps.retry();
    platform.eventTaps.allowCreate = true;
    platform.eventTaps.retry();
    platform.eventTaps.retry();  // taken already: nothing more happens
    EXPECT_EQ(messages(tail), (std::vector<std::string>{
                                  failed, held, "Super+Tab is held by another program: Fluxbox",
                                  "event tap created and enabled"}));
    EXPECT_EQ(platform.processInfo.standardError,
              "tavrel: could not create event tap \xE2\x80\x94 Accessibility permission "
              "required\ntavrel: " +
                  held + "\ntavrel: Super+Tab is held by another program: Fluxbox\n");
    EXPECT_TRUE(platform.eventTaps.enabled && platform.eventTaps.scheduled);
    EXPECT_FALSE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_EQ(called, std::vector<std::string>{"press"});
}

TEST_F(HotkeyTest, WhatKeepsAWorkingTapFromTheHotkeyGoesToTheLogAndStandardError) {
    manager->registerTap();
    const LogFileTail tail;
    ASSERT_TRUE(platform.eventTaps.obstacle);
    platform.eventTaps.obstacle("Super+Tab never reached tavrel: IceWM takes Super");
    EXPECT_EQ(messages(tail),
              std::vector<std::string>{"Super+Tab never reached tavrel: IceWM takes Super"});
    EXPECT_EQ(platform.processInfo.standardError,
              "tavrel: Super+Tab never reached tavrel: IceWM takes Super\n");
    manager.reset();
    EXPECT_FALSE(platform.eventTaps.retry) << "the gone manager is no longer called";
    EXPECT_FALSE(platform.eventTaps.obstacle);
}

TEST_F(HotkeyTest, TeardownUnschedulesThenDisablesAndNoEventReachesTheGoneManager) {
    manager->registerTap();
    platform.calls.clear();
    manager.reset();
    EXPECT_EQ(platform.calls.calls(),
              (std::vector<std::string>{"removeSource", "tapEnable false"}));
    EXPECT_TRUE(deliver(kCGEventKeyDown, kCommand, kVK_Tab));
    EXPECT_TRUE(deliver(kCGEventTapDisabledByTimeout, 0));
    EXPECT_TRUE(called.empty());
}

}  // namespace
}  // namespace tavrel
