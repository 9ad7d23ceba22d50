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

}  // namespace
}  // namespace tavrel::e2e
