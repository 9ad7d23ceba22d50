#include "core/AppDelegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "LogFileTail.h"
#include "core/Log.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

using fake::FakePlatform;

// The messages appended to the log since `tail` was made, without their time stamps.
std::vector<std::string> messages(const test::LogFileTail& tail) {
    std::istringstream in(tail.appended());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line.size() > 15 ? line.substr(15) : line);
    }
    return lines;
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

// Launches and runs `whileRunning` inside the event loop, while the delegate is alive.
void launch(FakePlatform& p, std::function<void()> whileRunning = {}) {
    p.application.eventLoop = std::move(whileRunning);
    runApplication();
}

void pressCommandTab(FakePlatform& p, std::uint64_t extra = 0) {
    p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand | extra, kVK_Tab);
}

TEST(AppDelegate, TrustedLaunchWritesItsLinesAndWiresEverything) {
    FakePlatform p;
    const test::LogFileTail before;
    launch(p, [&] { EXPECT_TRUE(p.eventTaps.enabled); });
    const auto lines = messages(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "--- launched pid=4242 bundle=/opt/tavrel/bin ---");
    EXPECT_EQ(lines[1], "AXIsProcessTrusted=true");
    EXPECT_EQ(lines[2], "after prompt: AXIsProcessTrusted=true");
    EXPECT_EQ(lines[3], "event tap created and enabled");
    EXPECT_EQ(p.accessibility.prompts, 0);
    EXPECT_EQ(p.calls.calls().front(), "setActivationPolicy 1");
    EXPECT_TRUE(recorded(p, "makePanel"));  // pre-warmed: the panel exists before any switch
    EXPECT_TRUE(recorded(p, "copyWindowInfo 17 0"));
}

TEST(AppDelegate, UntrustedLaunchPromptsOnceAndGoesOn) {
    FakePlatform p;
    p.accessibility.trustAnswers = {false, false, true};
    p.eventTaps.allowCreate = false;
    const test::LogFileTail before;
    launch(p, [&] { EXPECT_NE(p.statusBar.last, nullptr); });
    const auto lines = messages(before);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "AXIsProcessTrusted=false");
    EXPECT_EQ(lines[2], "after prompt: AXIsProcessTrusted=true");
    EXPECT_EQ(lines[3],
              "ERROR: CGEvent.tapCreate returned nil \u2014 Accessibility not granted (or revoked "
              "due to signature change)");
    EXPECT_EQ(p.accessibility.prompts, 1);
    EXPECT_TRUE(recorded(p, "AXIsProcessTrustedWithOptions prompt=true"));
    EXPECT_TRUE(recorded(p, "makePanel"));
    EXPECT_EQ(p.processInfo.standardError,
              "tavrel: could not create event tap \u2014 Accessibility permission required\n");
}

TEST(AppDelegate, StatusMenuHasItsFiveEntriesInOrder) {
    FakePlatform p;
    std::optional<SymbolImage> image;
    std::vector<MenuEntry> menu;
    launch(p, [&] {
        image = p.statusBar.last->image;
        menu = p.statusBar.last->menu;
    });
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->symbolName, "rectangle.stack.fill");
    EXPECT_EQ(image->accessibilityDescription, "tavrel");
    EXPECT_TRUE(image->isTemplate);
    ASSERT_EQ(menu.size(), 5u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Show Switcher", ""},
        {"", ""},
        {"Open Accessibility Settings\u2026", ""},
        {"", ""},
        {"Quit tavrel", "q"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const bool separator = i == 1 || i == 3;
        EXPECT_EQ(menu[i].kind == MenuEntry::Kind::separator, separator) << i;
        EXPECT_EQ(menu[i].title, expected[i].first) << i;
        EXPECT_EQ(menu[i].keyEquivalent, expected[i].second) << i;
        EXPECT_EQ(static_cast<bool>(menu[i].action), !separator) << i;
    }
}

TEST(AppDelegate, StatusItemWithoutButtonGetsNoImageButAMenu) {
    FakePlatform p;
    p.statusBar.itemsHaveButton = false;
    launch(p, [&] {
        EXPECT_FALSE(p.statusBar.last->image.has_value());
        EXPECT_EQ(p.statusBar.last->menu.size(), 5u);
    });
    EXPECT_FALSE(recorded(p, "imageWithSystemSymbolName rectangle.stack.fill tavrel"));
}

TEST(AppDelegate, ShowSwitcherActivatesTheSecondWindowSilentlyAndHidesThePanel) {
    FakePlatform p;
    addThreeWindows(p, 7100);
    launch(p, [&] {
        const test::LogFileTail before;
        p.statusBar.last->menu[0].action();
        EXPECT_TRUE(messages(before).empty());
        EXPECT_FALSE(p.panelSurfaces.last->visible);
    });
    EXPECT_TRUE(recorded(p, "activate pid=7101 options=2"));
    EXPECT_FALSE(recorded(p, "activate pid=7100 options=2"));
    EXPECT_TRUE(p.accessibility.window(7101, 501)->raised);
}

TEST(AppDelegate, ShowSwitcherWithNoWindowsDoesNothing) {
    FakePlatform p;
    launch(p, [&] {
        p.calls.clear();
        p.statusBar.last->menu[0].action();
    });
    EXPECT_FALSE(recorded(p, "orderFrontRegardless"));
    EXPECT_FALSE(recorded(p, "orderOut"));
}

// The log's lines and the platform calls that show the switcher's steps, in the order they
// happened: each hotkey's line comes before the switcher acts on it.
TEST(AppDelegate, EachHotkeyIsLoggedBeforeTheSwitcherActsOnIt) {
    FakePlatform p;
    addThreeWindows(p, 7200);
    std::vector<std::string> timeline;
    p.application.eventLoop = [&] {
        const test::LogFileTail before;
        std::size_t logged = 0;
        const auto catchUp = [&] {
            const auto lines = messages(before);
            for (; logged < lines.size(); ++logged)
                timeline.push_back(lines[logged]);
        };
        p.calls.observer = [&](const std::string& call) {
            catchUp();
            for (const char* step : {"copyWindowInfo", "selectRow", "orderOut"}) {
                if (call.rfind(step, 0) == 0)
                    timeline.push_back(call);
            }
        };
        pressCommandTab(p);
        pressCommandTab(p, kCGEventFlagMaskShift);
        p.eventTaps.deliver(kCGEventFlagsChanged, 0);
        p.calls.observer = nullptr;
        catchUp();
    };
    runApplication();
    EXPECT_EQ(timeline,
              (std::vector<std::string>{"hotkey: Cmd+Tab", "copyWindowInfo 17 0", "selectRow 1",
                                        "hotkey: Cmd+Shift+Tab", "selectRow 0",
                                        "hotkey: Cmd released \u2192 commit", "orderOut"}));
}

TEST(AppDelegate, ShiftAloneWithCommandUpLogsTwoReleasesAndChangesNothing) {
    FakePlatform p;
    addThreeWindows(p, 7300);
    p.application.eventLoop = [&] {
        const test::LogFileTail before;
        p.calls.clear();
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, kCGEventFlagMaskShift));
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, 0));
        const auto lines = messages(before);
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
    const test::LogFileTail before;
    launch(p, [&] {
        EXPECT_FALSE(p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand, kVK_Tab));
        EXPECT_TRUE(p.panelSurfaces.last->visible);
        EXPECT_FALSE(p.eventTaps.deliver(kCGEventKeyDown, kCGEventFlagMaskCommand, kVK_Tab));
        EXPECT_TRUE(p.eventTaps.deliver(kCGEventFlagsChanged, 0));
        EXPECT_FALSE(p.panelSurfaces.last->visible);
    });
    EXPECT_TRUE(recorded(p, "activate pid=7402 options=2"));
    EXPECT_FALSE(recorded(p, "activate pid=7401 options=2"));
    EXPECT_TRUE(p.accessibility.window(7402, 502)->raised);
    EXPECT_FALSE(p.accessibility.window(7401, 501)->raised);
    const std::vector<std::string> expected = {"--- launched pid=4242 bundle=/opt/tavrel/bin ---",
                                               "AXIsProcessTrusted=true",
                                               "after prompt: AXIsProcessTrusted=true",
                                               "event tap created and enabled",
                                               "hotkey: Cmd+Tab",
                                               "hotkey: Cmd+Tab",
                                               "hotkey: Cmd released \u2192 commit"};
    EXPECT_EQ(messages(before), expected);
}

TEST(AppDelegate, QuitWritesOutTheLogFirst) {
    FakePlatform p;
    std::size_t linesAtTermination = 0;
    p.application.onTerminate = [&] {
        const std::string text = test::LogFileTail::contents();
        linesAtTermination = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    p.application.eventLoop = [&] {
        for (int i = 0; i < 200; ++i)
            TavrelLog::shared().line("before quit " + std::to_string(i));
        p.statusBar.last->menu[4].action();
    };
    runApplication();
    EXPECT_TRUE(p.application.terminated);
    TavrelLog::shared().drain();
    const std::string text = test::LogFileTail::contents();
    EXPECT_EQ(linesAtTermination,
              static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
}

TEST(AppDelegate, OpenAccessibilityOpensOnlyAParsableLink) {
    FakePlatform p;
    launch(p, [&] {
        p.statusBar.last->menu[2].action();
        p.workspace.link = "";
        p.statusBar.last->menu[2].action();
        p.workspace.link = "not a link";
        p.statusBar.last->menu[2].action();
    });
    EXPECT_EQ(p.workspace.opened, std::vector<std::string>{"settings://keyboard/shortcuts"});
}

}  // namespace
}  // namespace tavrel
