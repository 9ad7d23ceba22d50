#include <algorithm>
#include <vector>

#include "X11Fixture.h"
#include "platform/Accessibility.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowList.h"

namespace tavrel::x11::test {
namespace {

using WindowIds = std::vector<xcb_window_t>;

// An application's windows asked for right after the panel's listing, on a connection of
// its own so that its round trips can be counted.
class ListingReuseTest : public X11Fixture {
  protected:
    void SetUp() override {
        X11Fixture::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        connection_ = X11Connection::open(server_->display().c_str(), nullptr);
        ASSERT_NE(connection_, nullptr);
        windows_ = std::make_unique<X11WindowList>(*connection_, nullptr);
        ax_ = std::make_unique<X11Accessibility>(*connection_, *windows_);
    }
    void TearDown() override {
        ax_.reset();
        windows_.reset();
        connection_.reset();
        X11Fixture::TearDown();
    }
    WindowIds windowsOf(pid_t pid) {
        Value value;
        EXPECT_EQ(ax_->copyAttributeValue(ax_->createApplication(pid), kAXWindowsAttribute, value),
                  kAXErrorSuccess);
        WindowIds ids;
        if (const ElementList* list = valueAsElements(value)) {
            for (const AXElement& element : *list)
                ids.push_back(static_cast<xcb_window_t>(element.window));
        }
        return ids;
    }
    // Round trips of one look-up of the application's windows.
    std::uint64_t tripsOfWindowsOf(pid_t pid, WindowIds& ids) {
        const std::uint64_t before = windows_->roundTrips();
        ids = windowsOf(pid);
        return windows_->roundTrips() - before;
    }
    // Lists, as the panel does, until the look-up right after it answers from that listing
    // (the window manager may still be settling the windows at first); its answer.
    WindowIds settledWindowsOf(pid_t pid) {
        WindowIds ids;
        const bool reused = server_->waitUntil([&] {
            windows_->snapshot();
            return tripsOfWindowsOf(pid, ids) == 0;
        });
        EXPECT_TRUE(reused) << "every look-up listed afresh";
        return ids;
    }
    // Once the change is heard, the answer follows it, and stays once the window manager
    // is done.
    void expectWindowsOf(pid_t pid, const WindowIds& expected) {
        EXPECT_TRUE(server_->waitUntil([&] { return windowsOf(pid) == expected; }));
        EXPECT_EQ(settledWindowsOf(pid), expected);
    }
    void raise(xcb_window_t window) {
        EXPECT_EQ(ax_->performAction(AXElement{AXElement::Kind::window, 0, window}, kAXRaiseAction),
                  kAXErrorSuccess);
    }

    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<X11WindowList> windows_;
    std::unique_ptr<X11Accessibility> ax_;
};

TEST_P(ListingReuseTest, AnswersFromTheListingWhenNothingChanged) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back");
    const xcb_window_t front = app->window("title=Front");
    ASSERT_TRUE(waitForListed({back, front}, 2));

    EXPECT_EQ(settledWindowsOf(app->pid()), (WindowIds{front, back}));
    for (int i = 0; i < 3; ++i) {
        WindowIds ids;
        EXPECT_EQ(tripsOfWindowsOf(app->pid(), ids), 0u);
        EXPECT_EQ(ids, (WindowIds{front, back}));
    }
}

TEST_P(ListingReuseTest, FollowsWindowsThatComeAndGo) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back");
    const xcb_window_t front = app->window("title=Front");
    ASSERT_TRUE(waitForListed({back, front}, 2));
    ASSERT_EQ(settledWindowsOf(app->pid()), (WindowIds{front, back}));

    const xcb_window_t newer = app->window("title=Newer");
    expectWindowsOf(app->pid(), {newer, front, back});
    ASSERT_EQ(app->command("destroy " + std::to_string(front)), "ok");
    expectWindowsOf(app->pid(), {newer, back});
}

TEST_P(ListingReuseTest, ListsAfreshAfterAWindowIsMinimised) {
    auto app = client();
    const xcb_window_t w = app->window("title=Soon%20minimised");
    ASSERT_TRUE(waitForListed({w}, 1));
    ASSERT_EQ(settledWindowsOf(app->pid()), (WindowIds{w}));

    ASSERT_EQ(app->command("iconify " + std::to_string(w)), "ok");
    // A minimised window stays among the application's windows; its state is read afresh.
    WindowIds ids;
    EXPECT_TRUE(server_->waitUntil([&] { return tripsOfWindowsOf(app->pid(), ids) != 0; }));
    EXPECT_EQ(ids, (WindowIds{w}));
    Value minimized;
    EXPECT_TRUE(server_->waitUntil([&] {
        ax_->copyAttributeValue(AXElement{AXElement::Kind::window, app->pid(), w},
                                kAXMinimizedAttribute, minimized);
        return valueAsBool(minimized) == true;
    }));
}

TEST_P(ListingReuseTest, FollowsARestack) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back");
    const xcb_window_t front = app->window("title=Front");
    ASSERT_TRUE(waitForListed({back, front}, 2));
    ASSERT_EQ(settledWindowsOf(app->pid()), (WindowIds{front, back}));

    raise(back);
    expectWindowsOf(app->pid(), {back, front});
    raise(front);
    expectWindowsOf(app->pid(), {front, back});
}

TEST_P(ListingReuseTest, ListsAfterASwitchWithOneRoundTripAndSeesAResize) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back");
    const xcb_window_t front = app->window("title=Front");
    ASSERT_TRUE(waitForListed({back, front}, 2));
    ASSERT_EQ(settledWindowsOf(app->pid()), (WindowIds{front, back}));
    const auto tripsOfListing = [&] {
        const std::uint64_t before = windows_->roundTrips();
        windows_->snapshot();
        return windows_->roundTrips() - before;
    };
    // A switch restacks, and a window manager tells the raised client where it is: the next
    // listing asks the server for the root's lists alone (without one, for the map states).
    raise(back);
    expectWindowsOf(app->pid(), {back, front});
    EXPECT_TRUE(server_->waitUntil([&] { return tripsOfListing() == (managed() ? 1u : 2u); }));

    xcb_connection_t* c = server_->connection();
    const std::uint32_t size[] = {50, 30};
    xcb_configure_window(c, back, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    xcb_flush(c);
    EXPECT_TRUE(server_->waitUntil([&] {
        const auto snapshot = windows_->snapshot();
        return snapshot && std::any_of(snapshot->windows.begin(), snapshot->windows.end(),
                                       [&](const ClientWindow& w) {
                                           return w.id == back && w.width == 50 && w.height == 30;
                                       });
    }));
}

INSTANTIATE_TEST_SUITE_P(X11, ListingReuseTest, ::testing::Bool(), managedName);

}  // namespace
}  // namespace tavrel::x11::test
