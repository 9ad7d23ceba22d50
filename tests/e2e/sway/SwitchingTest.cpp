// Switching on sway as the user does it, one case per row: the windows the case starts with
// (the last one in front), then what the user does and what must show, step by step. All rows
// share one sway and one tavrel, as a user's session goes on from switch to switch.
//
// Windows: "TITLE [app=APP_ID] [on=WORKSPACE]" (workspace 1 unless given; %20 is a space).
// Steps, each waiting for its outcome:
//   open / open back     hold Super, press Tab (Shift+Tab): the panel shows
//   press                the same where no panel is expected
//   tab / back           Tab / Shift+Tab while Super is held
//   release              let go of Super, while the panel is up
//   let go               let go of Super with no panel up (tavrel, without keyboard focus
//                        then, may not hear it)
//   quick                Super+Tab pressed and let go at once, before anything can show
//   reopen               Super+Tab until tavrel answers again (after a reload), the panel shows
//   key KEY / type TEXT  keys while the panel is up
//   click ROW            a click on a visible row
//   close TITLE          the window goes away
//   sway COMMAND         a sway command
//   bound KEY            Super+KEY runs sway's own binding for it (while no panel is up)
//   quiet                no binding of sway's own has run since the last `bound` or `quiet`
//   panel / no panel     the panel is on screen, or not
//   rows N / filtered N  the panel holds N rows (with the search label)
//   highlight N / filtered-highlight N
//                        row N of those in view is highlighted
//   focus TITLE / focus none
//                        sway's focus is on that window, or on no window
//   running              tavrel still runs
//   launch lines         the log starts with tavrel's launch lines
//   log ends LINE...     the log's last lines, by name (press, back, release)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "ClientCommands.h"
#include "Gestures.h"
#include "LogLines.h"
#include "SwaySession.h"

namespace tavrel::e2e {
namespace {

// Super+letter bindings of sway's own, as a user's config has them: while the panel is up
// these letters are typed into the filter and never run.
constexpr char kBoundLetters[] = "kibox";
// How long one try waits for tavrel after a reload, before the keys are sent again.
constexpr int kReloadTryMs = 500;
constexpr int kReloadTries = 20;

struct Case {
    std::string name;
    std::vector<std::string> windows;
    std::vector<std::string> steps;
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << c.name;
}

std::vector<std::string> numbered(const std::string& prefix, int count) {
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i)
        titles.push_back(prefix + std::to_string(i));
    return titles;
}

const std::vector<Case> kCases = {
    {"NoWindowShowsNoPanel", {}, {"press", "no panel", "let go", "no panel", "focus none"}},
    {"OneWindowOpensOnItselfAndComesBack",
     {"Only"},
     {"sway workspace 2", "focus none", "open", "rows 1", "highlight 0", "tab", "highlight 0",
      "release", "focus Only", "no panel"}},
    {"TabAndShiftTabWrapAroundBothWays",
     numbered("w", 5),  // listed: w4 w3 w2 w1 w0
     {"open", "rows 5", "highlight 1", "tab", "highlight 2", "tab", "highlight 3", "tab",
      "highlight 4", "tab", "highlight 0", "back", "highlight 4", "back", "highlight 3", "release",
      "focus w1"}},
    {"ShiftTabOpensOnTheSecondWindow",
     numbered("w", 4),
     {"open back", "highlight 1", "release", "focus w2"}},
    {"AQuickTapSwitchesToThePreviousWindowAndBack",
     numbered("w", 3),
     {"quick", "focus w1", "no panel", "quick", "focus w2", "no panel"}},
    {"EscapeHidesThePanelAndTheReleaseActivatesNothing",
     numbered("w", 3),
     {"open", "tab", "key Escape", "no panel", "let go", "focus w2"}},
    {"ReturnCommitsWhileSuperIsStillHeld",
     numbered("w", 3),
     {"open", "tab", "highlight 2", "key Return", "no panel", "focus w0", "let go", "focus w0"}},
    {"TypingFiltersWhileSwaysOwnSuperLetterBindingsStayQuiet",
     {"Inbox app=postmark", "notes.txt app=quillpad", "build%20log app=shellbox",
      "Daily%20news app=viewport"},
     {"bound k", "open", "rows 4", "type k i", "filtered 1", "filtered-highlight 0",
      "key BackSpace", "key BackSpace", "key BackSpace", "rows 4", "type box", "filtered 2",
      "filtered-highlight 0", "tab", "filtered-highlight 1", "quiet", "release", "focus Inbox"}},
    {"AShrinkingFilterLeavesNoStripsOnAnOutputAwayFromTheLayoutsOrigin",
     {"Inbox app=postmark", "notes.txt app=quillpad", "build%20log app=shellbox",
      "Daily%20news app=viewport"},
     {"sway output HEADLESS-1 position 700 300", "open", "rows 4", "type box", "filtered 2",
      "type x", "filtered 0", "key BackSpace", "filtered 2", "filtered-highlight 0", "tab",
      "filtered-highlight 1", "release", "focus Inbox", "sway output HEADLESS-1 position 0 0"}},
    {"AClickOnARowCommitsThatWindow",
     numbered("w", 4),  // listed: w3 w2 w1 w0
     {"open", "click 2", "no panel", "focus w1", "let go", "focus w1"}},
    {"AWindowOnAnotherWorkspaceIsListedAndBroughtBack",
     {"Far on=2", "Near1", "Near2"},
     {"open", "rows 3", "tab", "highlight 2", "release", "focus Far"}},
    {"AWindowClosedUnderTheOpenPanelIsCommittedWithoutHarm",
     {"Stay", "Doomed", "Front"},
     {"open", "highlight 1", "close Doomed", "release", "no panel", "running", "focus Front",
      "open", "rows 2", "release", "focus Stay"}},
    {"AHundredWindowsCapThePanelAndScrollToTheLast",
     // listed: c99 … c0; 24.9 rows fit in 1080 less 120 pixels, so the last one, scrolled to
     // the bottom, is the 25th in view under a part of one
     numbered("c", 100),
     {"open", "rows 24", "highlight 1", "back", "back", "highlight 24", "release", "focus c0"}},
    {"TheLogKeepsTheLaunchAndEverySwitchInOrder",
     numbered("w", 2),
     {"launch lines", "open", "back", "release", "log ends press back release", "focus w1"}},
    {"SuperTabStillWorksAfterSwayReloadsItsConfig",
     numbered("w", 2),
     {"sway reload", "reopen", "highlight 1", "release", "focus w0"}},
};

class SwaySwitchingTest : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() {
        SwayServer::Options options;
        for (const char* letter = kBoundLetters; *letter != '\0'; ++letter) {
            options.config.push_back(std::string("bindsym Mod4+") + *letter + " nop test-key " +
                                     *letter);
        }
        session_ = std::make_unique<SwaySession>(options);
    }
    static void TearDownTestSuite() { session_.reset(); }

    void SetUp() override {
        ASSERT_NE(session_, nullptr);
        ASSERT_EQ(session_->failure(), "");
        ASSERT_TRUE(session_->tavrel().running()) << "tavrel ended during an earlier case";
        client_ = session_->client();
    }

    void TearDown() override {
        if (!session_ || !session_->failure().empty())
            return;
        session_->seat().releaseAll();
        if (session_->panel())
            session_->seat().tap("Escape");
        EXPECT_TRUE(session_->waitForPanel(false)) << "the panel stayed on screen";
        client_.reset();
        EXPECT_TRUE(session_->waitUntil([&] { return session_->views().empty(); }))
            << "the case's windows did not go away";
        session_->sway().ipc().command("workspace 1");
        session_->bindingsRun();
    }

    // Maps the case's windows, each on its workspace, the last one in front.
    bool makeWindows(const std::vector<std::string>& specs) {
        std::string workspace = "1";
        for (const std::string& spec : specs) {
            std::istringstream in(spec);
            std::string title;
            in >> title;
            const tavrel::test::Options o = tavrel::test::parseOptions(in);
            const std::string on = tavrel::test::option(o, "on", "1");
            if (on != workspace && !session_->sway().ipc().command("workspace " + on))
                return false;
            workspace = on;
            std::string options = "title=" + title;
            if (o.count("app") != 0)
                options += " app_id=" + o.at("app");
            const auto made = session_->windows(*client_, {options});
            if (made.size() != 1)
                return false;
            const std::string shown = tavrel::test::percentDecode(title);
            views_[shown] = made.front();
            numbers_[shown] = static_cast<int>(numbers_.size()) + 1;
        }
        return true;
    }

    // Does `act` and waits until tavrel has handled the hotkey line it logs.
    template <typename Act>
    bool hotkey(const std::string& line, Act act) {
        const std::size_t before = session_->tavrel().logCount(line);
        act();
        return session_->waitForHotkey(line, before + 1);
    }

    bool tab(bool reverse) {
        return hotkey(reverse ? kShiftPressLine : kPressLine,
                      [&] { tabWithSuperHeld(session_->seat(), reverse); });
    }

    // Super+Tab again and again until tavrel hears it: its bindings come back some time after
    // sway has reloaded.
    bool reopen() {
        for (int i = 0; i < kReloadTries; ++i) {
            const std::size_t before = session_->tavrel().logCount(kPressLine);
            session_->superTab();
            if (session_->tavrel().waitForLog(kPressLine, before + 1, kReloadTryMs))
                return session_->waitForPanel(true);
            session_->releaseSuper();
        }
        return false;
    }

    bool letGo() {
        session_->releaseSuper();
        // Once sway has the release, whatever follows from it has a quiet spell to come.
        const bool handled = session_->seat().sync();
        session_->settle();
        return handled;
    }

    bool clickRow(int row) {
        const auto panel = session_->panel();
        if (!panel)
            return false;
        session_->seat().click(panel->x + kPanelWidth / 2,
                               panel->y + 6 + row * kRowHeight + kRowHeight / 2);
        // The pointer leaves the panel's middle, where the screenshots look.
        session_->seat().movePointer(0, 0);
        return true;
    }

    bool logEnds(std::istringstream& names) {
        static const std::map<std::string, std::string> lines = {
            {"press", kPressLine}, {"back", kShiftPressLine}, {"release", kReleaseLine}};
        std::vector<std::string> expected;
        for (std::string name; names >> name;)
            expected.push_back(lines.at(name));
        const auto messages = session_->tavrel().logMessages();
        if (messages.size() < expected.size())
            return false;
        const std::vector<std::string> last(messages.end() - static_cast<long>(expected.size()),
                                            messages.end());
        EXPECT_EQ(last, expected);
        return last == expected;
    }

    bool launchLinesFirst() {
        const auto messages = session_->tavrel().logMessages();
        const auto expected = launchLines(session_->tavrel().pid(), kTapCreatedLine);
        const std::vector<std::string> first(
            messages.begin(),
            messages.begin() + static_cast<long>(std::min(messages.size(), expected.size())));
        EXPECT_EQ(first, expected);
        return first == expected;
    }

    bool boundRuns(const std::string& key) {
        session_->seat().press("Super_L");
        session_->seat().tap(key);
        session_->seat().release("Super_L");
        session_->seat().sync();
        const auto run = session_->bindingsRun();
        return std::find(run.begin(), run.end(), "nop test-key " + key) != run.end();
    }

    bool quiet() {
        session_->seat().sync();
        for (const std::string& command : session_->bindingsRun()) {
            if (command.rfind("nop test-key", 0) == 0) {
                ADD_FAILURE() << "sway ran its own binding: " << command;
                return false;
            }
        }
        return true;
    }

    long view(const std::string& title) { return title == "none" ? 0 : views_.at(title); }

    // Runs one step; false when it did not hold (the case stops there).
    bool step(const std::string& text) {
        std::istringstream in(text);
        std::string verb, argument;
        in >> verb;
        std::getline(in >> std::ws, argument);
        std::istringstream rest(argument);
        int n = 0;
        std::istringstream(argument) >> n;
        SwaySession& s = *session_;
        if (verb == "open")
            return hotkey(argument == "back" ? kShiftPressLine : kPressLine,
                          [&] { s.superTab(argument == "back"); }) &&
                   s.waitForPanel(true);
        if (verb == "press")
            return hotkey(kPressLine, [&] { s.superTab(); });
        if (verb == "tab" || verb == "back")
            return tab(verb == "back");
        if (verb == "release")
            return hotkey(kReleaseLine, [&] { s.releaseSuper(); });
        if (verb == "let")
            return letGo();
        if (verb == "quick")
            return hotkey(kReleaseLine, [&] {
                s.superTab();
                s.releaseSuper();
            });
        if (verb == "reopen")
            return reopen();
        if (verb == "key")
            return s.seat().tap(argument);
        if (verb == "type")
            return s.seat().type(argument);
        if (verb == "click")
            return clickRow(n);
        if (verb == "close")
            return client_->command("close " + std::to_string(numbers_.at(argument))) == "ok";
        if (verb == "sway")
            return s.sway().ipc().command(argument);
        if (verb == "bound")
            return boundRuns(argument);
        if (verb == "quiet")
            return quiet();
        if (verb == "panel")
            return s.waitForPanel(true);
        if (verb == "no")
            return s.waitForPanel(false);
        if (verb == "rows" || verb == "filtered")
            return s.waitUntil([&] { return s.rowsShown(verb == "filtered") == n; });
        if (verb == "highlight" || verb == "filtered-highlight")
            return s.waitForHighlight(n, verb != "highlight");
        if (verb == "focus")
            return s.waitForFocus(view(argument));
        if (verb == "running")
            return s.tavrel().running();
        if (verb == "launch")
            return launchLinesFirst();
        if (verb == "log")
            return rest >> verb && logEnds(rest);
        ADD_FAILURE() << "no such step: " << text;
        return false;
    }

    static inline std::unique_ptr<SwaySession> session_;
    std::unique_ptr<WaylandClient> client_;
    std::map<std::string, long> views_;
    std::map<std::string, int> numbers_;
};

TEST_P(SwaySwitchingTest, Switches) {
    ASSERT_TRUE(makeWindows(GetParam().windows)) << "the case's windows did not come up";
    const auto& steps = GetParam().steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (step(steps[i]))
            continue;
        // What the screen showed then, for whoever looks into the failure.
        const std::string picture = "sway-" + GetParam().name + ".png";
        session_->saveScreen(picture);
        FAIL() << "step " << i + 1 << " \"" << steps[i]
               << "\" did not hold (the screen: " << std::filesystem::absolute(picture).string()
               << "); tavrel's stderr:\n"
               << session_->tavrel().standardError();
    }
}

INSTANTIATE_TEST_SUITE_P(Sway, SwaySwitchingTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace tavrel::e2e
