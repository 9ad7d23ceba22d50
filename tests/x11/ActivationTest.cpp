#include "X11Fixture.h"
#include "platform/Accessibility.h"

namespace tavrel::x11::test {
namespace {

class ActivationTest : public X11Fixture {
  protected:
    xcb_window_t inputFocus() {
        xcb_connection_t* c = server_->connection();
        std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
        return reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
    }
    xcb_window_t activeWindow() {
        xcb_connection_t* c = server_->connection();
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(
                c,
                xcb_get_property(c, 0, server_->root(), server_->atom("_NET_ACTIVE_WINDOW"),
                                 XCB_ATOM_WINDOW, 0, 1),
                nullptr),
            &std::free);
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return XCB_WINDOW_NONE;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
    }
    ElementList windowsOf(pid_t pid) {
        Accessibility& ax = platform_->accessibility();
        Value value;
        EXPECT_EQ(ax.copyAttributeValue(ax.createApplication(pid), kAXWindowsAttribute, value),
                  kAXErrorSuccess);
        const ElementList* list = valueAsElements(value);
        return list == nullptr ? ElementList{} : *list;
    }
    // What the core's activation does with the chosen window.
    void activate(const AXElement& window) {
        Accessibility& ax = platform_->accessibility();
        Value minimized;
        ax.copyAttributeValue(window, kAXMinimizedAttribute, minimized);
        if (valueAsBool(minimized) == true)
            ax.setAttributeValue(window, kAXMinimizedAttribute, false);
        ax.performAction(window, kAXRaiseAction);
        bool settable = false;
        if (ax.isAttributeSettable(window, kAXMainAttribute, settable) == kAXErrorSuccess &&
            settable) {
            ax.setAttributeValue(window, kAXMainAttribute, true);
        }
    }
};

TEST_P(ActivationTest, RaisesAndFocusesTheChosenWindow) {
    auto app = client();
    const xcb_window_t back = app->window("title=Back input=1");
    const xcb_window_t front = app->window("title=Front input=1");
    ASSERT_TRUE(waitForListed({back, front}, 2));

    const ElementList windows = windowsOf(app->pid());
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].window, front);
    EXPECT_EQ(windows[1].window, back);
    Value title;
    ASSERT_EQ(platform_->accessibility().copyAttributeValue(windows[1], kAXTitleAttribute, title),
              kAXErrorSuccess);
    EXPECT_EQ(*valueAsString(title), "Back");

    activate(windows[1]);
    EXPECT_TRUE(server_->waitUntil([&] {
        const auto records = listed({back, front});
        return records.size() == 2 && valueAsUInt32(records[0].at(kCGWindowNumber)) == back;
    }));
    EXPECT_TRUE(server_->waitUntil([&] { return inputFocus() == back; }));
    if (managed()) {
        EXPECT_TRUE(server_->waitUntil([&] { return activeWindow() == back; }));
    }
}

TEST_P(ActivationTest, RestoresAMinimisedWindow) {
    auto app = client();
    const xcb_window_t w = app->window("title=Minimised input=1");
    ASSERT_EQ(app->command("iconify " + std::to_string(w)), "ok");
    ASSERT_TRUE(waitForListed({w}, 0));
    const ElementList windows = windowsOf(app->pid());
    ASSERT_EQ(windows.size(), 1u);
    Value minimized;
    platform_->accessibility().copyAttributeValue(windows[0], kAXMinimizedAttribute, minimized);
    EXPECT_EQ(valueAsBool(minimized), true);

    activate(windows[0]);
    EXPECT_TRUE(waitForListed({w}, 1));
    EXPECT_TRUE(server_->waitUntil([&] { return inputFocus() == w; }));
    platform_->accessibility().copyAttributeValue(windows[0], kAXMinimizedAttribute, minimized);
    EXPECT_EQ(valueAsBool(minimized), false);
}

TEST_P(ActivationTest, AWindowThatVanishedFailsQuietly) {
    auto app = client();
    const xcb_window_t w = app->window("title=Soon%20gone");
    const ElementList windows = windowsOf(app->pid());
    ASSERT_EQ(windows.size(), 1u);
    ASSERT_EQ(app->command("destroy " + std::to_string(w)), "ok");

    // Calls after a listing answer from it until the window's end is heard of; from then on
    // every call fails.
    Accessibility& ax = platform_->accessibility();
    Value value;
    ASSERT_TRUE(server_->waitUntil([&] {
        return ax.copyAttributeValue(windows[0], kAXTitleAttribute, value) ==
               kAXErrorCannotComplete;
    }));
    EXPECT_EQ(ax.copyAttributeValue(windows[0], kAXMinimizedAttribute, value),
              kAXErrorCannotComplete);
    EXPECT_EQ(ax.performAction(windows[0], kAXRaiseAction), kAXErrorCannotComplete);
    EXPECT_EQ(ax.setAttributeValue(windows[0], kAXMinimizedAttribute, false),
              kAXErrorCannotComplete);
    EXPECT_EQ(ax.setAttributeValue(windows[0], kAXMainAttribute, true), kAXErrorCannotComplete);
    bool settable = true;
    EXPECT_EQ(ax.isAttributeSettable(windows[0], kAXMainAttribute, settable),
              kAXErrorCannotComplete);
    EXPECT_TRUE(windowsOf(app->pid()).empty());
    EXPECT_TRUE(ax.isProcessTrusted());
}

TEST_P(ActivationTest, AnswersATitleChangedSinceTheListingAndStillActivates) {
    auto app = client();
    const xcb_window_t back = app->window("title=Before input=1");
    const xcb_window_t front = app->window("title=Front input=1");
    ASSERT_TRUE(waitForListed({back, front}, 2));
    const ElementList windows = windowsOf(app->pid());
    ASSERT_EQ(windows.size(), 2u);
    ASSERT_EQ(windows[1].window, back);

    ASSERT_EQ(app->command("title " + std::to_string(back) + " After"), "ok");
    Accessibility& ax = platform_->accessibility();
    Value title;
    // Once the change is heard of, the old title is never answered again.
    ASSERT_TRUE(server_->waitUntil([&] {
        ax.copyAttributeValue(windows[1], kAXTitleAttribute, title);
        const std::string* text = valueAsString(title);
        return text != nullptr && *text == "After";
    }));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(ax.copyAttributeValue(windows[1], kAXTitleAttribute, title), kAXErrorSuccess);
        EXPECT_EQ(*valueAsString(title), "After");
    }
    ASSERT_EQ(ax.copyAttributeValue(windows[0], kAXTitleAttribute, title), kAXErrorSuccess);
    EXPECT_EQ(*valueAsString(title), "Front");

    activate(windows[1]);
    EXPECT_TRUE(server_->waitUntil([&] { return inputFocus() == back; }));
    if (managed()) {
        EXPECT_TRUE(server_->waitUntil([&] { return activeWindow() == back; }));
    }
}

// Cases that only mean something when a window manager runs at first.
class WindowManagerLossTest : public ActivationTest {};

TEST_P(WindowManagerLossTest, NoticesTheWindowManagerGoingAwayAfterTheListing) {
    auto app = client();
    const xcb_window_t w = app->window("title=Orphan input=1");
    const xcb_window_t newer = app->window("title=Newer input=1");
    ASSERT_TRUE(waitForListed({w, newer}, 2));
    const ElementList windows = windowsOf(app->pid());
    ASSERT_EQ(windows.size(), 2u);
    ASSERT_EQ(windows[1].window, w);

    server_->stopWindowManager();
    // Without the window manager nobody would act on its requests: the window is focused
    // directly once its end is heard of.
    EXPECT_TRUE(server_->waitUntil([&] {
        activate(windows[1]);
        return inputFocus() == w;
    }));
}

INSTANTIATE_TEST_SUITE_P(X11, ActivationTest, ::testing::Bool(), managedName);
INSTANTIATE_TEST_SUITE_P(X11, WindowManagerLossTest, ::testing::Values(true), managedName);

}  // namespace
}  // namespace tavrel::x11::test
