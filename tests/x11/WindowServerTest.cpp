#include <signal.h>

#include "X11Fixture.h"
#include "platform/x11/ActivationHistory.h"

namespace tavrel::x11::test {
namespace {

using WindowServerTest = X11Fixture;

std::optional<std::int64_t> intOf(const WindowInfo& record, const char* key) {
    const auto it = record.find(key);
    return it == record.end() ? std::nullopt : valueAsInt64(it->second);
}

std::string stringOf(const WindowInfo& record, const char* key) {
    const auto it = record.find(key);
    const std::string* s = it == record.end() ? nullptr : valueAsString(it->second);
    return s == nullptr ? "<missing>" : *s;
}

std::vector<ClientWindow> windowsWithIds(const std::vector<xcb_window_t>& ids) {
    std::vector<ClientWindow> windows(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        windows[i].id = ids[i];
    return windows;
}

// Where stacking does not follow focus, front to back is most recently active first; windows
// not active since the start keep the stacking order after them.
TEST(ActivationHistoryTest, PutsTheMostRecentlyActiveFirstAndTheRestInStackingOrder) {
    struct Row {
        // Window, and when (nothing: active before anything was heard).
        std::vector<std::pair<xcb_window_t, std::optional<xcb_timestamp_t>>> activated;
        std::vector<xcb_window_t> stacking;  // front to back
        std::vector<xcb_window_t> arranged;
    };
    const Row rows[] = {
        {{}, {4, 3, 2, 1}, {4, 3, 2, 1}},
        {{{1, 1000}, {2, 2000}, {3, 3000}}, {4, 3, 2, 1}, {3, 2, 1, 4}},
        {{{4, std::nullopt}, {1, 1010}}, {4, 3, 2, 1}, {1, 4, 3, 2}},
        {{{3, 1000}, {1, 2000}}, {1, 2, 3, 4}, {1, 3, 2, 4}},
        // Active twice: its last time counts.
        {{{2, 1000}, {1, 2000}, {2, 3000}}, {1, 2, 3}, {2, 1, 3}},
        // No window active for a while; a window not listed.
        {{{2, 1000}, {XCB_WINDOW_NONE, 2000}, {9, 3000}}, {1, 2, 3}, {2, 1, 3}},
        // The focus only passed through 3 (and through 1, then nothing) on its way.
        {{{1, 1000}, {3, 2000}, {2, 2010}}, {1, 2, 3}, {2, 1, 3}},
        {{{2, 1000}, {1, 2000}, {XCB_WINDOW_NONE, 2100}, {3, 3000}}, {1, 2, 3}, {3, 2, 1}},
        // Server time wraps around.
        {{{1, 0xFFFFFF00}, {2, 0xFFFFFFF0}, {3, 100}}, {1, 2, 3}, {3, 1, 2}},
    };
    for (const Row& row : rows) {
        ActivationHistory history;
        for (const auto& [window, time] : row.activated)
            history.noteActive(window, time);
        auto windows = windowsWithIds(row.stacking);
        history.arrange(windows);
        std::vector<xcb_window_t> order;
        for (const ClientWindow& w : windows)
            order.push_back(w.id);
        EXPECT_EQ(order, row.arranged);
    }
    // A window gone from the listing is forgotten: its id, used again, starts afresh.
    ActivationHistory history;
    history.noteActive(2, 1000);
    history.noteActive(1, 2000);
    auto without = windowsWithIds({1, 3});
    history.arrange(without);
    auto again = windowsWithIds({3, 2, 1});
    history.arrange(again);
    EXPECT_EQ(again[0].id, 1u);
    EXPECT_EQ(again[1].id, 3u);
    EXPECT_EQ(again[2].id, 2u);
}

TEST_P(WindowServerTest, ListsClientWindowsFrontToBackWithTheirDetails) {
    auto app = client();
    const xcb_window_t back =
        app->window("title=Back%20window width=400 height=300 class=back,Backy");
    const xcb_window_t middle = app->window("title=Middle width=500 height=250 class=mid,Middly");
    const xcb_window_t front = app->window("title=Fr%C3%B6nt width=320 height=240 class=fr,Fronty");
    ASSERT_TRUE(waitForListed({back, middle, front}, 3));

    const auto records = listed({back, middle, front});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(intOf(records[0], kCGWindowNumber), front);
    EXPECT_EQ(intOf(records[1], kCGWindowNumber), middle);
    EXPECT_EQ(intOf(records[2], kCGWindowNumber), back);
    EXPECT_EQ(stringOf(records[0], kCGWindowName), "Frönt");
    EXPECT_EQ(stringOf(records[2], kCGWindowName), "Back window");
    EXPECT_EQ(stringOf(records[0], kCGWindowOwnerName), "Fronty");
    for (const auto& record : records) {
        EXPECT_EQ(intOf(record, kCGWindowLayer), 0);
        EXPECT_EQ(intOf(record, kCGWindowOwnerPID), app->pid());
    }
    const NumberMap* bounds = valueAsNumberMap(records[1].at(kCGWindowBounds));
    ASSERT_NE(bounds, nullptr);
    EXPECT_EQ(bounds->at("Width"), 500);
    EXPECT_EQ(bounds->at("Height"), 250);
    EXPECT_EQ(bounds->count("X") + bounds->count("Y"), 2u);
}

TEST_P(WindowServerTest, TakesThePidFromTheServerWhenTheWindowGivesNone) {
    auto app = client();
    const xcb_window_t anonymous = app->window("title=Anonymous pid=none");
    const xcb_window_t claimed = app->window("title=Claimed pid=1");
    ASSERT_TRUE(waitForListed({anonymous, claimed}, 2));
    const auto records = listed({anonymous, claimed});
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(intOf(records[1], kCGWindowOwnerPID), app->pid());
    EXPECT_EQ(intOf(records[0], kCGWindowOwnerPID), 1);
}

TEST_P(WindowServerTest, LeavesOutHiddenWindowsAndPutsOtherRolesOnOtherLayers) {
    auto app = client();
    const xcb_window_t shown = app->window("title=Shown");
    const xcb_window_t iconic = app->window("title=Iconic state=iconic");
    const xcb_window_t override = app->window("title=Popup override=1");
    const xcb_window_t dock = app->window("title=Dock type=dock width=800 height=30");
    const xcb_window_t desktop = app->window("title=Desktop type=desktop");
    const xcb_window_t dialog = app->window("title=Dialog type=dialog");
    const xcb_window_t later = app->window("title=Minimised%20later");
    ASSERT_EQ(app->command("iconify " + std::to_string(later)), "ok");
    const std::set<xcb_window_t> all{shown, iconic, override, dock, desktop, dialog, later};
    ASSERT_TRUE(waitForListed(all, 3));

    const auto records = listed(all);
    ASSERT_EQ(records.size(), 3u);
    std::map<std::string, std::int64_t> layers;
    for (const auto& record : records)
        layers[stringOf(record, kCGWindowName)] = *intOf(record, kCGWindowLayer);
    EXPECT_EQ(layers["Shown"], 0);
    EXPECT_EQ(layers["Dialog"], 0);
    EXPECT_NE(layers["Dock"], 0);
    EXPECT_EQ(layers.count("Desktop"), 0u);

    // Asked for every window, the iconified ones come back.
    const auto everything = platform_->windowServer().copyWindowInfo(0, kCGNullWindowID);
    ASSERT_TRUE(everything);
    std::size_t found = 0;
    for (const auto& record : *everything)
        found +=
            intOf(record, kCGWindowNumber) == iconic || intOf(record, kCGWindowNumber) == later;
    EXPECT_EQ(found, 2u);
}

TEST_P(WindowServerTest, FollowsChangesToListedWindows) {
    auto app = client();
    const xcb_window_t w = app->window("title=Before class=a,First");
    ASSERT_TRUE(waitForListed({w}, 1));
    EXPECT_EQ(stringOf(listed({w})[0], kCGWindowName), "Before");
    ASSERT_EQ(app->command("title " + std::to_string(w) + " After"), "ok");
    ASSERT_EQ(app->command("prop " + std::to_string(w) + " WM_CLASS STRING 8 62005365636f6e6400"),
              "ok");
    const auto records = listed({w});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(stringOf(records[0], kCGWindowName), "After");
    EXPECT_EQ(stringOf(records[0], kCGWindowOwnerName), "Second");
}

TEST_P(WindowServerTest, SurvivesAClientThatNeverAnswers) {
    auto app = client();
    const xcb_window_t w = app->window("title=Frozen");
    ASSERT_TRUE(waitForListed({w}, 1));
    kill(app->pid(), SIGSTOP);
    EXPECT_EQ(listed({w}).size(), 1u);
    kill(app->pid(), SIGCONT);
}

INSTANTIATE_TEST_SUITE_P(X11, WindowServerTest, ::testing::Bool(), managedName);

class ManagedWindowServerTest : public X11Fixture {};

TEST_P(ManagedWindowServerTest, LeavesOutWindowsOfOtherDesktops) {
    auto app = client();
    const xcb_window_t here = app->window("title=Here");
    const xcb_window_t there = app->window("title=There desktop=1");
    const xcb_window_t everywhere = app->window("title=Everywhere desktop=4294967295");
    ASSERT_TRUE(waitForListed({here, everywhere}, 2));
    const auto records = listed({here, there, everywhere});
    ASSERT_EQ(records.size(), 2u);
    for (const auto& record : records)
        EXPECT_NE(intOf(record, kCGWindowNumber), there);
}

TEST_P(ManagedWindowServerTest, IgnoresTheStaleListOfAWindowManagerThatIsGone) {
    auto app = client();
    const xcb_window_t before = app->window("title=Before");
    ASSERT_TRUE(waitForListed({before}, 1));
    server_->stopWindowManager();
    ASSERT_TRUE(server_->waitUntil([&] { return !server_->windowManagerRuns(); }));
    // The window manager's properties stay on the root; the new window is in none of them.
    const xcb_window_t after = app->window("title=After");
    ASSERT_TRUE(waitForListed({before, after}, 2));
    const auto records = listed({before, after});
    EXPECT_EQ(intOf(records[0], kCGWindowNumber), after);
}

INSTANTIATE_TEST_SUITE_P(X11, ManagedWindowServerTest, ::testing::Values(true), managedName);

}  // namespace
}  // namespace tavrel::x11::test
