// Switching as the user does it: hold Super, press Tab, move, let go.
#include "SessionFixture.h"

namespace tavrel::e2e {
namespace {

class SwitchingTest : public SessionTest {
  protected:
    static void SetUpTestSuite() { startSession({}); }
    static void TearDownTestSuite() { endSession(); }

    // Windows titled "Window 0" … "Window n-1" of one client; the last is in front, so the
    // panel lists them last to first.
    std::vector<xcb_window_t> numberedWindows(int n) {
        std::vector<std::string> options;
        for (int i = 0; i < n; ++i)
            options.push_back("title=Window%20" + std::to_string(i));
        return windows(newClient(), options);
    }
    bool openSwitcher(bool reverse = false) {
        return hotkey(reverse ? kShiftPressLine : kPressLine,
                      [&] { session().superTab(reverse); }) &&
               session().waitForPanel(true);
    }
    bool tab(bool reverse = false) {
        return hotkey(reverse ? kShiftPressLine : kPressLine, [&] {
            if (reverse)
                desktop().press("Shift_L");
            desktop().tap("Tab");
            if (reverse)
                desktop().release("Shift_L");
        });
    }
    bool release() {
        return hotkey(kReleaseLine, [&] { session().releaseSuper(); });
    }
};

TEST_F(SwitchingTest, WithNoWindowsNothingShowsAndTheReleaseDoesNothing) {
    const xcb_window_t before = desktop().activeWindow();
    ASSERT_TRUE(hotkey(kPressLine, [&] { session().superTab(); }));
    EXPECT_EQ(session().panel(), XCB_WINDOW_NONE);
    ASSERT_TRUE(release());
    EXPECT_EQ(session().panel(), XCB_WINDOW_NONE);
    EXPECT_EQ(desktop().activeWindow(), before);
}

TEST_F(SwitchingTest, OneWindowOpensOnItselfStaysThereAndIsActivated) {
    const auto only = numberedWindows(1);
    // A window the switcher does not list takes the focus away from the only one it does.
    TestClient& other = newClient();
    const xcb_window_t unlisted = other.window("title=Palette skiptaskbar=1");
    desktop().activate(unlisted);
    ASSERT_TRUE(session().waitForActive(unlisted));

    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 1);
    EXPECT_TRUE(session().waitForHighlight(0));
    ASSERT_TRUE(tab());
    EXPECT_EQ(session().highlightedRow(), 0);
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(only[0]));
    EXPECT_TRUE(session().waitForPanel(false));
    EXPECT_EQ(desktop().inputFocus(), only[0]);
}

TEST_F(SwitchingTest, TabAndShiftTabWrapAroundBothWays) {
    const auto w = numberedWindows(5);  // listed: w4 w3 w2 w1 w0
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 5);
    EXPECT_TRUE(session().waitForHighlight(1));
    for (int row = 2; row <= 4; ++row) {
        ASSERT_TRUE(tab());
        EXPECT_TRUE(session().waitForHighlight(row));
    }
    ASSERT_TRUE(tab());
    EXPECT_TRUE(session().waitForHighlight(0)) << "Tab on the last row wraps to the first";
    ASSERT_TRUE(tab(true));
    EXPECT_TRUE(session().waitForHighlight(4)) << "Shift+Tab on the first row wraps to the last";
    ASSERT_TRUE(tab(true));
    EXPECT_TRUE(session().waitForHighlight(3));
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(w[1]));
    EXPECT_EQ(desktop().clientsStacked().back(), w[1]) << "the chosen window is raised";
}

TEST_F(SwitchingTest, ShiftTabOpensOnTheSecondWindowLikeTab) {
    const auto w = numberedWindows(4);  // listed: w3 w2 w1 w0
    ASSERT_TRUE(openSwitcher(true));
    EXPECT_TRUE(session().waitForHighlight(1));
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(w[2]));
}

TEST_F(SwitchingTest, EscapeHidesThePanelAndTheReleaseActivatesNothing) {
    const auto w = numberedWindows(3);
    ASSERT_TRUE(openSwitcher());
    ASSERT_TRUE(tab());
    desktop().tap("Escape");
    EXPECT_TRUE(session().waitForPanel(false));
    ASSERT_TRUE(release());
    EXPECT_EQ(desktop().activeWindow(), w[2]);
    EXPECT_EQ(desktop().clientsStacked().back(), w[2]);
}

TEST_F(SwitchingTest, ReturnCommitsWhileSuperIsStillHeld) {
    const auto w = numberedWindows(3);  // listed: w2 w1 w0
    ASSERT_TRUE(openSwitcher());
    ASSERT_TRUE(tab());
    EXPECT_TRUE(session().waitForHighlight(2));
    desktop().tap("Return");
    EXPECT_TRUE(session().waitForPanel(false));
    EXPECT_TRUE(session().waitForActive(w[0]));
    ASSERT_TRUE(release());
    EXPECT_EQ(desktop().activeWindow(), w[0]);
}

TEST_F(SwitchingTest, AClickOnARowCommitsThatWindow) {
    const auto w = numberedWindows(4);  // listed: w3 w2 w1 w0
    ASSERT_TRUE(openSwitcher());
    const auto panel = session().panelGeometry();
    ASSERT_TRUE(panel);
    desktop().click(panel->x + kPanelWidth / 2, panel->y + 6 + 2 * kRowHeight + kRowHeight / 2);
    EXPECT_TRUE(session().waitForPanel(false));
    EXPECT_TRUE(session().waitForActive(w[1]));
    ASSERT_TRUE(release());
    EXPECT_EQ(desktop().activeWindow(), w[1]);
}

TEST_F(SwitchingTest, TheProgramsOwnPanelIsNeverListed) {
    const auto w = numberedWindows(2);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(openSwitcher());
        EXPECT_EQ(session().rowsShown(), 2) << "round " << round;
        ASSERT_TRUE(release());
        EXPECT_TRUE(session().waitForActive(w[round == 0 ? 0 : 1]));
    }
}

}  // namespace
}  // namespace tavrel::e2e
