// What a launch leaves behind: the log's lines, and the messages when the hotkey is taken.
#include <gtest/gtest.h>

#include <regex>

#include "Desktop.h"
#include "SessionFixture.h"
#include "TavrelProcess.h"

namespace tavrel::e2e {
namespace {

const std::string kTapFailedLine =
    "ERROR: CGEvent.tapCreate returned nil \u2014 Accessibility not granted (or revoked due to "
    "signature change)";
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

TEST_F(LaunchTest, ASecondInstanceCannotGrabTheHotkeyAndSaysSo) {
    TemporaryFolder firstState;
    TavrelProcess first(desktop_.display(), firstState.path());
    ASSERT_TRUE(first.waitForLaunch());
    TemporaryFolder secondState;
    TavrelProcess second(desktop_.display(), secondState.path());
    ASSERT_TRUE(second.waitForLaunch());

    EXPECT_EQ(second.logMessages(), launchLines(second.pid(), kTapFailedLine));
    EXPECT_EQ(occurrences(second.standardError(), kTapFailedMessage), 1u) << "standard error:\n"
                                                                          << second.standardError();
    EXPECT_TRUE(second.running()) << "it keeps running without a hotkey";

    // The first instance still has Super+Tab; the second sees none of it.
    TestClient client(desktop_.display());
    client.window("title=One");
    client.window("title=Two");
    desktop_.press("Super_L");
    desktop_.tap("Tab");
    EXPECT_TRUE(first.waitForLog(kPressLine));
    desktop_.release("Super_L");
    EXPECT_TRUE(first.waitForLog(kReleaseLine));
    EXPECT_EQ(second.logCount(kPressLine), 0u);
    EXPECT_EQ(second.logMessages().size(), 4u + second.logCount(kReleaseLine));
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
