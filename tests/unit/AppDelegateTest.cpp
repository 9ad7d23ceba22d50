#include "core/AppDelegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/Log.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

using fake::FakePlatform;

std::filesystem::path logFile() {
    return fake::FakeFileLocations::processTemporaryFolder() / "logs" / "tavrel.log";
}

// The messages the log file holds, without their time stamps.
std::vector<std::string> loggedMessages() {
    TavrelLog::shared().drain();
    std::ifstream in(logFile());
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);) {
        messages.push_back(line.size() > 15 ? line.substr(15) : line);
    }
    return messages;
}

// Messages written since `before` was taken.
std::vector<std::string> since(const std::vector<std::string>& before) {
    auto now = loggedMessages();
    now.erase(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(before.size()));
    return now;
}

WindowInfo window(std::uint32_t number, std::int32_t pid, const std::string& title) {
    return {{kCGWindowLayer, std::int64_t{0}},
            {kCGWindowOwnerPID, std::int64_t{pid}},
            {kCGWindowNumber, std::int64_t{number}},
            {kCGWindowName, title},
            {kCGWindowOwnerName, "owner" + std::to_string(pid)},
            {kCGWindowBounds, NumberMap{{"Width", 800}, {"Height", 600}}}};
}

// Three windows of three applications, each with one accessibility window of that title.
void addThreeWindows(FakePlatform& p, std::int32_t firstPid) {
    p.windowServer.windows = WindowInfoList{};
    for (std::int32_t i = 0; i < 3; ++i) {
        const std::int32_t pid = firstPid + i;
        const std::string title = "Window " + std::to_string(i);
        p.windowServer.windows->push_back(window(100 + static_cast<std::uint32_t>(i), pid, title));
        p.runningApplications.apps[pid] = {"App " + std::to_string(i), nullptr, std::nullopt};
        p.accessibility.apps[pid].windows.push_back({static_cast<std::uint64_t>(500 + i), title});
    }
}

bool recorded(const FakePlatform& p, const std::string& call) {
    const auto& calls = p.calls.calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

void pressCommandTab(FakePlatform& p, std::uint64_t extra = 0) {
    p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand | extra, kVK_Tab);
}

TEST(AppDelegate, TrustedLaunchWritesItsLinesAndWiresEverything) {
    FakePlatform p;
    const auto before = loggedMessages();
    runApplication();
    const auto lines = since(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "--- launched pid=4242 bundle=/opt/tavrel/bin ---");
    EXPECT_EQ(lines[1], "AXIsProcessTrusted=true");
    EXPECT_EQ(lines[2], "after prompt: AXIsProcessTrusted=true");
    EXPECT_EQ(lines[3], "event tap created and enabled");
    EXPECT_EQ(p.accessibility.prompts, 0);
    EXPECT_EQ(p.calls.calls().front(), "setActivationPolicy 1");
    EXPECT_TRUE(recorded(p, "makePanel"));  // pre-warmed: the panel exists before any switch
    EXPECT_TRUE(recorded(p, "copyWindowInfo 17 0"));
    EXPECT_TRUE(p.eventTaps.enabled);
}

TEST(AppDelegate, UntrustedLaunchPromptsOnceAndGoesOn) {
    FakePlatform p;
    p.accessibility.trustAnswers = {false, false, true};
    p.eventTaps.allowCreate = false;
    const auto before = loggedMessages();
    runApplication();
    const auto lines = since(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "AXIsProcessTrusted=false");
    EXPECT_EQ(lines[2], "after prompt: AXIsProcessTrusted=true");
    EXPECT_EQ(lines[3],
              "ERROR: CGEvent.tapCreate returned nil \u2014 Accessibility not granted (or revoked "
              "due to signature change)");
    EXPECT_EQ(p.accessibility.prompts, 1);
    EXPECT_TRUE(recorded(p, "AXIsProcessTrustedWithOptions prompt=true"));
    EXPECT_NE(p.statusBar.last, nullptr);
    EXPECT_TRUE(recorded(p, "makePanel"));
    EXPECT_EQ(p.processInfo.standardError,
              "tavrel: could not create event tap \u2014 Accessibility permission required\n");
}

TEST(AppDelegate, StatusMenuHasItsFiveEntriesInOrder) {
    FakePlatform p;
    runApplication();
    const fake::FakeStatusItem& item = *p.statusBar.last;
    ASSERT_TRUE(item.image.has_value());
    EXPECT_EQ(item.image->symbolName, "rectangle.stack.fill");
    EXPECT_EQ(item.image->accessibilityDescription, "tavrel");
    EXPECT_TRUE(item.image->isTemplate);
    ASSERT_EQ(item.menu.size(), 5u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Show Switcher", ""},
        {"", ""},
        {"Open Accessibility Settings\u2026", ""},
        {"", ""},
        {"Quit tavrel", "q"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const bool separator = i == 1 || i == 3;
        EXPECT_EQ(item.menu[i].kind == MenuEntry::Kind::separator, separator) << i;
        EXPECT_EQ(item.menu[i].title, expected[i].first) << i;
        EXPECT_EQ(item.menu[i].keyEquivalent, expected[i].second) << i;
        EXPECT_EQ(static_cast<bool>(item.menu[i].action), !separator) << i;
    }
}

TEST(AppDelegate, StatusItemWithoutButtonGetsNoImageButAMenu) {
    FakePlatform p;
    p.statusBar.itemsHaveButton = false;
    runApplication();
    EXPECT_FALSE(p.statusBar.last->image.has_value());
    EXPECT_FALSE(recorded(p, "imageWithSystemSymbolName rectangle.stack.fill tavrel"));
    EXPECT_EQ(p.statusBar.last->menu.size(), 5u);
}

TEST(AppDelegate, ShowSwitcherActivatesTheSecondWindowSilentlyAndHidesThePanel) {
    FakePlatform p;
    addThreeWindows(p, 7100);
    p.application.eventLoop = [&] {
        const auto before = loggedMessages();
        p.statusBar.last->menu[0].action();
        EXPECT_TRUE(since(before).empty());
    };
    runApplication();
    EXPECT_TRUE(recorded(p, "activate pid=7101 options=2"));
    EXPECT_FALSE(recorded(p, "activate pid=7100 options=2"));
    EXPECT_TRUE(p.accessibility.window(7101, 501)->raised);
    EXPECT_FALSE(p.panelSurfaces.last->visible);
}

TEST(AppDelegate, ShowSwitcherWithNoWindowsDoesNothing) {
    FakePlatform p;
    p.application.eventLoop = [&] {
        p.calls.clear();
        p.statusBar.last->menu[0].action();
    };
    runApplication();
    EXPECT_FALSE(recorded(p, "orderFrontRegardless"));
    EXPECT_FALSE(recorded(p, "orderOut"));
}

TEST(AppDelegate, EachHotkeyLogsBeforeTheSwitcherMoves) {
    FakePlatform p;
    addThreeWindows(p, 7200);
    int checked = 0;
    p.application.eventLoop = [&] {
        const auto before = loggedMessages();
        p.calls.observer = [&](const std::string& call) {
            if (call.rfind("copyWindowInfo", 0) == 0 || call.rfind("selectRow", 0) == 0) {
                const auto lines = since(before);
                EXPECT_FALSE(lines.empty());
                EXPECT_EQ(lines.back().rfind("hotkey: Cmd", 0), 0u);
                ++checked;
            }
        };
        pressCommandTab(p);
        pressCommandTab(p, kCGEventFlagMaskShift);
        p.calls.observer = nullptr;
    };
    runApplication();
    EXPECT_GE(checked, 2);
}

TEST(AppDelegate, ShiftAloneWithCommandUpLogsTwoReleasesAndChangesNothing) {
    FakePlatform p;
    addThreeWindows(p, 7300);
    p.application.eventLoop = [&] {
        const auto before = loggedMessages();
        p.calls.clear();
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, kCGEventFlagMaskShift));
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, 0));
        const auto lines = since(before);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "hotkey: Cmd released \u2192 commit");
        EXPECT_EQ(lines[1], "hotkey: Cmd released \u2192 commit");
        EXPECT_FALSE(recorded(p, "orderFrontRegardless"));
        EXPECT_FALSE(recorded(p, "activate pid=7301 options=2"));
    };
    runApplication();
}

TEST(AppDelegate, AWholeSwitchRaisesTheThirdWindowAndLogsExactly) {
    FakePlatform p;
    addThreeWindows(p, 7400);
    const auto before = loggedMessages();
    p.application.eventLoop = [&] {
        EXPECT_FALSE(p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand, kVK_Tab));
        EXPECT_TRUE(p.panelSurfaces.last->visible);
        EXPECT_FALSE(p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand, kVK_Tab));
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, 0));
    };
    runApplication();
    EXPECT_TRUE(recorded(p, "activate pid=7402 options=2"));
    EXPECT_FALSE(recorded(p, "activate pid=7401 options=2"));
    EXPECT_TRUE(p.accessibility.window(7402, 502)->raised);
    EXPECT_FALSE(p.accessibility.window(7401, 501)->raised);
    EXPECT_FALSE(p.panelSurfaces.last->visible);
    const std::vector<std::string> expected = {"--- launched pid=4242 bundle=/opt/tavrel/bin ---",
                                               "AXIsProcessTrusted=true",
                                               "after prompt: AXIsProcessTrusted=true",
                                               "event tap created and enabled",
                                               "hotkey: Cmd+Tab",
                                               "hotkey: Cmd+Tab",
                                               "hotkey: Cmd released \u2192 commit"};
    EXPECT_EQ(since(before), expected);
}

TEST(AppDelegate, QuitWritesOutTheLogFirst) {
    FakePlatform p;
    std::size_t linesAtTermination = 0;
    p.application.onTerminate = [&] {
        std::ifstream in(logFile());
        std::stringstream text;
        text << in.rdbuf();
        linesAtTermination = static_cast<std::size_t>(std::count(
            std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>(), '\n'));
    };
    p.application.eventLoop = [&] {
        for (int i = 0; i < 200; ++i)
            TavrelLog::shared().line("before quit " + std::to_string(i));
        p.statusBar.last->menu[4].action();
    };
    runApplication();
    EXPECT_TRUE(p.application.terminated);
    EXPECT_EQ(linesAtTermination, loggedMessages().size());
}

TEST(AppDelegate, OpenAccessibilityOpensOnlyAParsableLink) {
    FakePlatform p;
    p.application.eventLoop = [&] {
        p.statusBar.last->menu[2].action();
        p.workspace.link = "";
        p.statusBar.last->menu[2].action();
        p.workspace.link = "not a link";
        p.statusBar.last->menu[2].action();
    };
    runApplication();
    EXPECT_EQ(p.workspace.opened, std::vector<std::string>{"settings://keyboard/shortcuts"});
}

}  // namespace
}  // namespace tavrel
