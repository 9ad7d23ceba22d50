// What a launch leaves behind: the log's lines, and the messages when the hotkey is taken.
#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <regex>
#include <utility>

#include "Desktop.h"
#include "SessionFixture.h"
#include "TavrelProcess.h"

namespace tavrel::e2e {
namespace {

const std::string kTapFailedMessage =
    "tavrel: could not create event tap \u2014 Accessibility permission required\n";

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class LaunchTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(desktop_.failure(), ""); }

    Desktop desktop_{{.windowManager = false}};
};

TEST_F(LaunchTest, TheLogKeepsEveryLaunchsLinesWithTimeStamps) {
    TemporaryFolder state;
    std::vector<std::string> expected;
    {
        TavrelProcess first(desktop_.display(), state.path());
        ASSERT_TRUE(first.waitForLaunch());
        expected = launchLines(first.pid(), kTapCreatedLine);
    }
    TavrelProcess second(desktop_.display(), state.path());
    ASSERT_TRUE(second.waitForLaunch());
    for (const auto& line : launchLines(second.pid(), kTapCreatedLine))
        expected.push_back(line);
    // Shift alone, pressed and let go: two modifier changes without Super, each logged.
    desktop_.tap("Shift_L");
    ASSERT_TRUE(second.waitForLog(kReleaseLine, 2));
    expected.insert(expected.end(), 2, kReleaseLine);

    EXPECT_EQ(second.logMessages(), expected);
    const std::regex stamped(R"(\[\d\d:\d\d:\d\d\.\d\d\d\] .+)");
    for (const auto& line : second.logLines())
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    EXPECT_EQ(second.standardError().find("tavrel:"), std::string::npos);
}

TEST_F(LaunchTest, ASecondInstanceSaysWhyItHasNoHotkeyAndTakesItOnceFree) {
    TemporaryFolder firstState;
    auto first = std::make_unique<TavrelProcess>(desktop_.display(), firstState.path());
    ASSERT_TRUE(first->waitForLaunch());
    TemporaryFolder secondState;
    TavrelProcess second(desktop_.display(), secondState.path());
    ASSERT_TRUE(second.waitForLaunch());

    // The failure as it always was, and then what really happened.
    const std::string held =
        "Super+Tab is held by another program (no window manager runs); free it in the program "
        "that binds it; tavrel takes it as soon as it is free";
    ASSERT_TRUE(second.waitForLog(held));
    auto expected = launchLines(second.pid(), kTapFailedLine);
    expected.push_back(held);
    EXPECT_EQ(second.logMessages(), expected);
    EXPECT_EQ(occurrences(second.standardError(), kTapFailedMessage + "tavrel: " + held + "\n"), 1u)
        << "standard error:\n"
        << second.standardError();
    EXPECT_TRUE(second.running()) << "it keeps running without a hotkey";

    // The first instance still has Super+Tab; the second sees none of it.
    TestClient client(desktop_.display());
    client.window("title=One");
    client.window("title=Two");
    desktop_.press("Super_L");
    desktop_.tap("Tab");
    EXPECT_TRUE(first->waitForLog(kPressLine));
    desktop_.release("Super_L");
    EXPECT_TRUE(first->waitForLog(kReleaseLine));
    EXPECT_EQ(second.logCount(kPressLine), 0u);
    EXPECT_EQ(second.logMessages().size(), 5u + second.logCount(kReleaseLine));

    // Once the first instance has gone, the second takes the key and says so, once.
    first.reset();
    ASSERT_TRUE(second.waitForLog(kTapCreatedLine));
    desktop_.press("Super_L");
    desktop_.tap("Tab");
    EXPECT_TRUE(second.waitForLog(kPressLine));
    desktop_.release("Super_L");
    EXPECT_EQ(second.logCount(kTapCreatedLine), 1u);
    EXPECT_EQ(second.logCount(held), 1u);
}

// With no tray to quit from, kill or Ctrl+C ends tavrel as Quit does: everything it logged is in
// the file, the reason last, and the exit status is 0.
TEST_F(LaunchTest, TerminationSignalsEndItLikeQuit) {
    for (const auto& [number, name] :
         {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"}}) {
        TemporaryFolder state;
        TavrelProcess tavrel(desktop_.display(), state.path());
        ASSERT_TRUE(tavrel.waitForLaunch());
        desktop_.tap("Shift_L");  // two log lines, queued around the signal
        ASSERT_EQ(kill(tavrel.pid(), number), 0);
        const auto status = tavrel.waitForExit();
        ASSERT_TRUE(status) << name << ": tavrel is still running";
        EXPECT_EQ(*status, 0) << name;
        const auto messages = tavrel.logMessages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), std::string(name) + " received; quitting");
    }
}

// The desktop goes away under tavrel: the connection its panel and tray live on is closed (as
// xkill does), or the X server ends. Whichever connection hears of it first, the log says so
// and tavrel ends as a quit does.
TEST_F(LaunchTest, LosingTheDisplayEndsWithTheLogWrittenAndStatusZero) {
    TemporaryFolder state;
    for (const bool serverEnds : {false, true}) {
        TavrelProcess tavrel(desktop_.display(), state.path());
        ASSERT_TRUE(tavrel.waitForLaunch());
        if (serverEnds) {
            desktop_.server().stop();
        } else {
            const auto pid = static_cast<std::uint32_t>(tavrel.pid());
            ASSERT_TRUE(desktop_.waitUntil([&] { return !desktop_.topLevelsOf(pid).empty(); }));
            desktop_.killClient(desktop_.topLevelsOf(pid).front());
        }
        const auto status = tavrel.waitForExit();
        ASSERT_TRUE(status) << "tavrel is still running";
        EXPECT_EQ(*status, 0) << tavrel.standardError();
        EXPECT_EQ(tavrel.logMessages().back(), "X11 connection lost; quitting");
        EXPECT_EQ(tavrel.standardError().find("X11"), std::string::npos) << tavrel.standardError();
    }
}

}  // namespace
}  // namespace tavrel::e2e
