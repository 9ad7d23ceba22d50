#include "WindowManagerSuite.h"

#include <algorithm>

#include "SessionFixture.h"

namespace tavrel::e2e {
namespace {

const std::string kHeldLine = "Super+Tab is held by another program: the window manager ";
const std::string kUnseenLine =
    "Super+Tab was pressed but never reached tavrel: another program takes it first: the "
    "window manager ";
// A window manager told to let go of a key does so in its own time.
constexpr int kAttempts = 10;
constexpr int kAttemptMs = 1000;
// tavrel takes a window the focus only passed through (active for less than 150 ms) for no
// activation at all: the test's activations are a person's, further apart.
constexpr int kActivationSpacingMs = 200;

std::size_t linesStartingWith(const TavrelProcess& tavrel, const std::string& start) {
    const auto messages = tavrel.logMessages();
    return static_cast<std::size_t>(
        std::count_if(messages.begin(), messages.end(),
                      [&](const std::string& m) { return m.starts_with(start); }));
}

std::string lineStartingWith(const TavrelProcess& tavrel, const std::string& start) {
    for (const std::string& m : tavrel.logMessages()) {
        if (m.starts_with(start))
            return m;
    }
    return {};
}

// Super+Tab, again until tavrel hears it: the panel is then up with Super held.
bool openSwitcher(Session& session) {
    TavrelProcess& tavrel = session.tavrel();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::size_t before = tavrel.logCount(kPressLine);
        session.superTab();
        if (tavrel.waitForLog(kPressLine, before + 1, kAttemptMs))
            return session.waitForPanel(true);
        session.releaseSuper();
    }
    return false;
}

// Opens the switcher, moves `tabs` rows further, and lets go of Super.
bool switchTo(Session& session, int tabs) {
    if (!openSwitcher(session))
        return false;
    for (int i = 0; i < tabs; ++i) {
        const std::size_t before = session.tavrel().logCount(kPressLine);
        session.desktop().tap("Tab");
        if (!session.waitForHotkey(kPressLine, before + 1))
            return false;
    }
    const std::size_t released = session.tavrel().logCount(kReleaseLine);
    session.releaseSuper();
    return session.waitForHotkey(kReleaseLine, released + 1) && session.waitForPanel(false);
}

}  // namespace

std::string caseName(const ::testing::TestParamInfo<WindowManagerCase>& info) {
    return info.param.name;
}

void PrintTo(const WindowManagerCase& wm, std::ostream* out) {
    *out << wm.name;
}

void WindowManagerTest::checkTheDesktop() {
    Session session({.windowManagerName = GetParam().name});
    ASSERT_EQ(session.failure(), "");
    check(session);
    if (HasFailure()) {
        std::string log;
        for (const std::string& line : session.tavrel().logLines())
            log += line + "\n";
        ADD_FAILURE() << "tavrel's log:\n"
                      << log << "standard error:\n"
                      << session.tavrel().standardError();
    }
}

void WindowManagerTest::check(Session& session) {
    const WindowManagerCase& wm = GetParam();
    Desktop& desktop = session.desktop();
    TavrelProcess& tavrel = session.tavrel();

    if (wm.superTab == SuperTab::held) {
        ASSERT_TRUE(desktop.waitUntil([&] { return linesStartingWith(tavrel, kHeldLine) > 0; }));
        const auto messages = tavrel.logMessages();
        const auto failed = std::find(messages.begin(), messages.end(), kTapFailedLine);
        ASSERT_TRUE(failed != messages.end() && failed + 1 != messages.end());
        const std::string& cause = *(failed + 1);
        EXPECT_TRUE(cause.starts_with(kHeldLine)) << cause;
        EXPECT_NE(cause.find(wm.holds), std::string::npos) << cause;
        EXPECT_NE(tavrel.standardError().find("tavrel: " + cause + "\n"), std::string::npos)
            << tavrel.standardError();
    } else {
        EXPECT_EQ(tavrel.logCount(kTapCreatedLine), 1u);
    }

    const auto client = session.client();
    const auto w = session.windows(*client, {"title=First", "title=Second", "title=Third"});
    ASSERT_EQ(w.size(), 3u);
    ASSERT_TRUE(session.waitForActive(w[2]));

    if (wm.superTab == SuperTab::takenFirst) {
        session.superTab();
        session.releaseSuper();
        ASSERT_TRUE(desktop.waitUntil([&] { return linesStartingWith(tavrel, kUnseenLine) == 1; }));
        const std::string cause = lineStartingWith(tavrel, kUnseenLine);
        EXPECT_NE(cause.find(wm.holds), std::string::npos) << cause;
        EXPECT_NE(tavrel.standardError().find("tavrel: " + cause + "\n"), std::string::npos);
    }
    if (!wm.freeCommand.empty()) {
        ASSERT_TRUE(desktop.runInSession(wm.freeCommand)) << wm.freeCommand;
    }
    if (wm.superTab == SuperTab::held) {
        ASSERT_TRUE(tavrel.waitForLog(kTapCreatedLine)) << "the freed key was not taken";
    }

    // Second, Third, then First made active: most recently active first is First, Third,
    // Second, wherever the stacking list leaves them. A window manager that has just restarted
    // may not hear the first request.
    for (const xcb_window_t window : {w[1], w[2], w[0]}) {
        bool activated = false;
        for (int attempt = 0; attempt < kAttempts && !activated; ++attempt) {
            desktop.activate(window);
            activated =
                desktop.waitUntil([&] { return desktop.activeWindow() == window; }, kAttemptMs);
        }
        ASSERT_TRUE(activated);
        desktop.waitUntil([] { return false; }, kActivationSpacingMs);
    }
    for (const auto& [tabs, chosen] : {std::pair{0, w[2]}, std::pair{1, w[1]}}) {
        ASSERT_TRUE(switchTo(session, tabs)) << "Super+Tab never reached tavrel";
        EXPECT_TRUE(session.waitForActive(chosen)) << tabs;
        EXPECT_TRUE(desktop.waitUntil([&] { return desktop.inputFocus() == chosen; })) << tabs;
        if (wm.stacks) {
            EXPECT_TRUE(desktop.waitUntil([&] { return desktop.topmost(w) == chosen; })) << tabs;
        }
    }
    EXPECT_EQ(linesStartingWith(tavrel, kUnseenLine),
              wm.superTab == SuperTab::takenFirst ? 1u : 0u);
    EXPECT_TRUE(tavrel.running());
}

}  // namespace tavrel::e2e
