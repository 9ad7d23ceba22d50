// Switching as the user does it: hold Super, press Tab, move, let go.
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

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

// This suite's desktop has no tray host: tavrel has no icon there and switches all the same.
TEST_F(SwitchingTest, WithNoWindowsNothingShowsAndTheReleaseDoesNothing) {
    EXPECT_FALSE(desktop().embeddedWindow(static_cast<std::uint32_t>(tavrel().pid())));
    const xcb_window_t before = desktop().activeWindow();
    ASSERT_TRUE(hotkey(kPressLine, [&] { session().superTab(); }));
    EXPECT_EQ(session().panel(), XCB_WINDOW_NONE);
    ASSERT_TRUE(release());
    EXPECT_EQ(session().panel(), XCB_WINDOW_NONE);
    EXPECT_EQ(desktop().activeWindow(), before);
}

TEST_F(SwitchingTest, WithNothingToListTheKeysAfterSuperTabReachTheFocusedXterm) {
    // An xterm too small to be listed has the focus, and keeps the first key it gets.
    TemporaryFolder folder;
    const auto typed = folder.path() / "typed";
    const auto before = desktop().clientsStacked();
    ChildProcess xterm({"xterm", "-geometry", "6x1", "-e", "sh", "-c",
                        "stty raw -echo; head -c 1 > " + typed.string()},
                       desktop().display());
    ASSERT_TRUE(desktop().waitUntil([&] {
        const auto now = desktop().clientsStacked();
        return now.size() > before.size() && desktop().activeWindow() == now.back();
    }));
    ASSERT_TRUE(hotkey(kPressLine, [&] { session().superTab(); }));
    EXPECT_EQ(session().panel(), XCB_WINDOW_NONE);
    desktop().tap("c");
    ASSERT_TRUE(release());
    EXPECT_TRUE(desktop().waitUntil([&] {
        std::ifstream in(typed);
        std::string text;
        return std::getline(in, text) && text == "c";
    })) << "Super+c never reached the xterm";
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

TEST_F(SwitchingTest, ArrowsMoveWithWrapAroundAndKeypadEnterCommits) {
    const auto w = numberedWindows(3);  // listed: w2 w1 w0
    ASSERT_TRUE(openSwitcher());
    EXPECT_TRUE(session().waitForHighlight(1));
    desktop().tap("Down");
    EXPECT_TRUE(session().waitForHighlight(2));
    desktop().tap("Down");
    EXPECT_TRUE(session().waitForHighlight(0));
    desktop().tap("Up");
    EXPECT_TRUE(session().waitForHighlight(2));
    desktop().tap("KP_Enter");
    EXPECT_TRUE(session().waitForPanel(false));
    EXPECT_TRUE(session().waitForActive(w[0]));
}

TEST_F(SwitchingTest, SuperTabNeverReachesTheFocusedWindowButTabDoes) {
    TestClient& client = newClient();
    const xcb_window_t typing = windows(client, {"title=Typing input=1"})[0];
    windows(newClient(), {"title=Other"});
    desktop().activate(typing);
    ASSERT_TRUE(session().waitForActive(typing));
    const std::string tab = std::to_string(desktop().keycode("Tab"));
    const std::string plainTab = "key press " + tab + " 0 " + std::to_string(typing);
    desktop().tap("Tab");
    EXPECT_TRUE(client.awaitEvent(plainTab));

    client.events.clear();
    ASSERT_TRUE(openSwitcher());
    ASSERT_TRUE(release());
    // Whatever the window was sent has been reported by the second answer.
    client.command("sync");
    client.command("sync");
    const std::string super = "key press " + std::to_string(desktop().keycode("Super_L")) + " ";
    bool superSeen = false;
    for (const std::string& event : client.events) {
        EXPECT_NE(event.rfind("key press " + tab + " ", 0), 0u) << event;
        superSeen |= event.rfind(super, 0) == 0;
    }
    EXPECT_TRUE(superSeen) << "Super itself passes on to the window";
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

TEST_F(SwitchingTest, TypingFiltersByNameAndTitleAndDeleteBringsEveryRowBack) {
    // One process per application, so that each has its own name; listed front to back:
    // Viewport, Shellbox, Quillpad, Postmark.
    const xcb_window_t postmark = windows(newClient(), {"title=Inbox class=postmark,Postmark"})[0];
    windows(newClient(), {"title=notes.txt class=quillpad,Quillpad"});
    windows(newClient(), {"title=build%20log class=shellbox,Shellbox"});
    windows(newClient(), {"title=Daily%20news class=viewport,Viewport"});
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 4);

    // "k i" runs from the end of the name over the space into the title: Postmark Inbox.
    desktop().type("k i");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown(true) == 1; }));
    EXPECT_TRUE(session().waitForHighlight(0, true));
    for (int i = 0; i < 3; ++i)
        desktop().tap("BackSpace");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown() == 4; }))
        << "an empty filter shows every row again, without the search label";
    EXPECT_TRUE(session().waitForHighlight(0));

    // "box" is in Shellbox's name and in Postmark's title; Tab steps through those two.
    desktop().type("box");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown(true) == 2; }));
    EXPECT_TRUE(session().waitForHighlight(0, true));
    ASSERT_TRUE(tab());
    EXPECT_TRUE(session().waitForHighlight(1, true));
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(postmark));
}

TEST_F(SwitchingTest, AScatteredMatchAcrossNameAndTitleCommitsWithReturn) {
    const xcb_window_t quillpad =
        windows(newClient(), {"title=notes.txt class=quillpad,Quillpad"})[0];
    windows(newClient(), {"title=Inbox class=postmark,Postmark"});
    ASSERT_TRUE(openSwitcher());
    desktop().type("qn");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown(true) == 1; }));
    desktop().type("z");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown(true) == 0; }))
        << "no match leaves an empty table under the search label";
    desktop().tap("BackSpace");
    EXPECT_TRUE(desktop().waitUntil([&] { return session().rowsShown(true) == 1; }));
    desktop().tap("Return");
    EXPECT_TRUE(session().waitForActive(quillpad));
    EXPECT_TRUE(session().waitForPanel(false));
}

TEST_F(SwitchingTest, TwoWindowsOfOneProcessWithOneTitleMakeOneRowAndTheFrontOneIsRaised) {
    const auto twins = windows(newClient(), {"title=Twin", "title=Twin"});
    windows(newClient(), {"title=Front"});
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 2);
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(twins[1]));
}

TEST_F(SwitchingTest, AMinimisedWindowOfTheChosenTitleComesBackOnCommit) {
    TestClient& reports = newClient();
    const auto report = windows(reports, {"title=Report", "title=Report"});
    ASSERT_EQ(reports.command("iconify " + std::to_string(report[1])), "ok");
    windows(newClient(), {"title=Front"});
    ASSERT_FALSE(desktop().viewable(report[1]));
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 2) << "the minimised window is not listed";
    ASSERT_TRUE(release());
    // The application's windows are searched front to back by title: the minimised one is
    // in front of its visible twin, so it is the one restored and raised.
    EXPECT_TRUE(desktop().waitUntil([&] { return desktop().viewable(report[1]); }));
    EXPECT_TRUE(session().waitForActive(report[1]));
}

TEST_F(SwitchingTest, SmallWindowsAreNotListed) {
    const auto shown = windows(newClient(), {"title=Normal width=80 height=40"});
    windows(newClient(), {"title=Narrow width=79 height=200", "title=Short width=300 height=39",
                          "title=Tiny width=20 height=20", "title=Front"});
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 2);
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(shown[0]));
}

TEST_F(SwitchingTest, AWindowClosedWhileThePanelIsUpIsCommittedWithoutHarm) {
    const xcb_window_t stay = windows(newClient(), {"title=Stay"})[0];
    TestClient& doomedClient = newClient();
    const xcb_window_t doomed = windows(doomedClient, {"title=Doomed"})[0];
    const xcb_window_t front = windows(newClient(), {"title=Front"})[0];
    ASSERT_TRUE(openSwitcher());
    EXPECT_TRUE(session().waitForHighlight(1));
    ASSERT_EQ(doomedClient.command("destroy " + std::to_string(doomed)), "ok");
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForPanel(false));
    EXPECT_TRUE(tavrel().running());
    EXPECT_EQ(desktop().activeWindow(), front) << "nothing else is raised in its place";
    EXPECT_EQ(desktop().clientsStacked().back(), front);

    // And the next switch lists what is left.
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 2);
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(stay));
}

// A terminal running a command, a browser loading a page: the highlighted window renames
// itself while the panel is up, once or without pause, and is still the one switched to.
TEST_F(SwitchingTest, AWindowRenamedWhileThePanelIsUpIsStillTheOneActivated) {
    TestClient& client = newClient();
    const auto w = windows(client, {"title=Before", "title=Front"});  // listed: Front, Before
    ASSERT_TRUE(openSwitcher());
    EXPECT_TRUE(session().waitForHighlight(1));
    ASSERT_EQ(client.command("title " + std::to_string(w[0]) + " After"), "ok");
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(w[0]));

    // Now Front is behind; it renames itself a thousand times a second from before the
    // switch opens until after it ends.
    std::atomic<bool> renaming = true;
    std::thread storm([&, renamer = session().client()] {
        for (int i = 0; renaming; ++i) {
            renamer->command("title " + std::to_string(w[1]) + " Step%20" + std::to_string(i));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(openSwitcher());
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(w[1]));
    renaming = false;
    storm.join();
}

// A client in another pid namespace, over ssh -X, or with a stale pid: no process here has
// the pid its window claims, and the window is switched to all the same.
TEST_F(SwitchingTest, AWindowWhosePidNamesNoProcessHereIsActivated) {
    pid_t unused = 4000000;
    while (kill(unused, 0) == 0 || errno != ESRCH)
        --unused;
    const xcb_window_t remote =
        windows(newClient(), {"title=Remote pid=" + std::to_string(unused)})[0];
    windows(newClient(), {"title=Front"});
    ASSERT_TRUE(openSwitcher());
    EXPECT_EQ(session().rowsShown(), 2);
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(remote));
}

TEST_F(SwitchingTest, AnAutoRepeatStormOfTabLeavesTheHighlightWhereTheCountSays) {
    const auto w = numberedWindows(7);  // listed: w6 … w0
    const std::size_t before = tavrel().logCount(kPressLine);
    // Tab held down with Super: the server repeats it every 4 ms.
    ASSERT_TRUE(desktop().setAutoRepeat(20, 250));
    desktop().press("Super_L");
    desktop().press("Tab");
    const bool stormed = tavrel().waitForLog(kPressLine, before + 300);
    desktop().release("Tab");
    ASSERT_TRUE(desktop().setAutoRepeat(660, 25));
    ASSERT_TRUE(stormed) << "fewer than 300 Tabs arrived";
    desktop().sync();
    // Every press the server sent has been logged once its handling began; a quiet spell
    // lets the last ones finish.
    ASSERT_TRUE(session().waitForHotkey(kPressLine, tavrel().logCount(kPressLine)));
    const std::size_t presses = tavrel().logCount(kPressLine) - before;
    const int row = static_cast<int>(presses % 7);  // opens on 1, then presses - 1 moves
    EXPECT_TRUE(session().waitForHighlight(row)) << presses << " presses";
    ASSERT_TRUE(release());
    EXPECT_TRUE(session().waitForActive(w[static_cast<std::size_t>(6 - row)]));
}

}  // namespace
}  // namespace tavrel::e2e
