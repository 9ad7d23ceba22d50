#include <xcb/xtest.h>

#include <algorithm>
#include <functional>

#include "X11Fixture.h"
#include "platform/Accessibility.h"
#include "platform/EventMonitor.h"

namespace tavrel::x11::test {
namespace {

// Keycodes of the server's default (evdev) layout.
constexpr xcb_keycode_t kEscape = 9, kBackSpace = 22, kTab = 23, kReturn = 36, kA = 38, kB = 56,
                        kC = 54, kShift = 50, kCapsLock = 66, kF5 = 71, kKeypadEnter = 104,
                        kUp = 111, kDown = 116, kSuper = 133, kAlt = 64, kNumLock = 77, kAltGr = 92;

// Stands in for the hotkey logic: records what the tap sees and drops Command+Tab, which
// shows the panel when one is set.
struct Recorder {
    std::vector<KeyboardEvent> events;
    std::function<void()> showPanel;
    std::function<void()> onCommit;  // run while the commit's event is handled

    static KeyboardEvent* callback(EventTapProxy, std::uint32_t type, KeyboardEvent* event,
                                   void* context) {
        auto* self = static_cast<Recorder*>(context);
        self->events.push_back(*event);
        if (type == kCGEventFlagsChanged && (event->flags & kCGEventFlagMaskCommand) == 0 &&
            self->onCommit)
            self->onCommit();
        const bool commandTab = type == kCGEventKeyDown &&
                                (event->flags & kCGEventFlagMaskCommand) != 0 &&
                                event->keyCode == kVK_Tab;
        if (commandTab && self->showPanel)
            self->showPanel();
        return commandTab ? nullptr : event;
    }
    bool sawCommit() const {
        return std::any_of(events.begin(), events.end(), [](const KeyboardEvent& e) {
            return e.type == kCGEventFlagsChanged && (e.flags & kCGEventFlagMaskCommand) == 0;
        });
    }
    std::size_t count(std::uint32_t type) const {
        return static_cast<std::size_t>(
            std::count_if(events.begin(), events.end(),
                          [type](const KeyboardEvent& e) { return e.type == type; }));
    }
};

class KeyboardTest : public X11Fixture {
  protected:
    // Super+Tab shows a panel, which takes the keyboard; a monitor keeps (and consumes) every
    // key-down handed to it.
    const std::vector<KeyboardEvent>& consumeMonitoredKeys() {
        recorder_.showPanel = [this] { platform_->grabKeyboard(); };
        platform_->eventMonitors().addLocalMonitorForEventsMatchingMask(
            NSEventMaskKeyDown, [this](KeyboardEvent* e) -> KeyboardEvent* {
                monitored_.push_back(*e);
                return nullptr;
            });
        return monitored_;
    }

    void SetUp() override {
        X11Fixture::SetUp();
        if (HasFatalFailure())
            return;
        app_ = client();
        target_ = app_->window("title=Typing%20target input=1");
        ASSERT_NE(target_, XCB_WINDOW_NONE);
        ASSERT_EQ(app_->command("focus " + std::to_string(target_)), "ok");
    }
    void TearDown() override {
        app_.reset();
        X11Fixture::TearDown();
    }

    bool createTap() {
        EventTaps& taps = platform_->eventTaps();
        const auto tap =
            taps.tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap, kCGEventTapOptionDefault,
                           kHotkeyEventMask, &Recorder::callback, &recorder_);
        if (!tap)
            return false;
        taps.addSourceToMainRunLoop(taps.createRunLoopSource(*tap, 0));
        taps.tapEnable(*tap, true);
        return true;
    }
    void key(xcb_keycode_t keycode, bool press) {
        xcb_test_fake_input(server_->connection(), press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode,
                            XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        server_->sync();
    }
    void tap(xcb_keycode_t keycode) {
        key(keycode, true);
        key(keycode, false);
    }
    bool runUntilEvents(std::size_t count) {
        return loop_.runUntil([&] { return recorder_.events.size() >= count; });
    }
    // The client saw every key typed before `a`, which comes last.
    bool clientSawMarker() {
        tap(kA);
        return app_->awaitEvent("key press " + std::to_string(kA) + " 0 " +
                                std::to_string(target_));
    }
    bool clientSaw(xcb_keycode_t keycode) {
        return clientSawCount("key press " + std::to_string(keycode) + " ") > 0;
    }
    // The client's events that begin with `prefix`.
    std::size_t clientSawCount(const std::string& prefix) {
        return static_cast<std::size_t>(
            std::count_if(app_->events.begin(), app_->events.end(),
                          [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }

    std::unique_ptr<TestClient> app_;
    std::vector<KeyboardEvent> monitored_;
    xcb_window_t target_ = XCB_WINDOW_NONE;
    Recorder recorder_;
};

TEST_P(KeyboardTest, SuperTabIsTakenFromTheFocusedWindowAndSuperReleaseCommits) {
    ASSERT_TRUE(createTap());
    key(kSuper, true);
    tap(kTab);
    key(kShift, true);
    tap(kTab);
    key(kShift, false);
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));

    std::vector<KeyboardEvent> downs;
    for (const auto& e : recorder_.events) {
        if (e.type == kCGEventKeyDown)
            downs.push_back(e);
    }
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].keyCode, kVK_Tab);
    EXPECT_EQ(downs[0].flags, kCGEventFlagMaskCommand);
    EXPECT_EQ(downs[1].keyCode, kVK_Tab);
    EXPECT_EQ(downs[1].flags, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    const KeyboardEvent& last = recorder_.events.back();
    EXPECT_EQ(last.type, kCGEventFlagsChanged);
    EXPECT_EQ(last.flags & kCGEventFlagMaskCommand, 0u);

    ASSERT_TRUE(clientSawMarker());
    EXPECT_FALSE(clientSaw(kTab));
    EXPECT_TRUE(clientSaw(kSuper));
}

TEST_P(KeyboardTest, AWindowMadeMainByTheCommitCarriesTheKeysTimeWithoutAskingTheServer) {
    ASSERT_TRUE(createTap());
    const AXElement window{AXElement::Kind::window, app_->pid(), target_};
    recorder_.onCommit = [&] {
        platform_->accessibility().setAttributeValue(window, kAXMainAttribute, true);
    };
    key(kSuper, true);
    tap(kTab);
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
    // Asking the server the time takes a window made for the purpose (and a round trip).
    xcb_connection_t* c = server_->connection();
    const xcb_atom_t clock = server_->atom("TAVREL_TIMESTAMP");
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, server_->root()), nullptr), &std::free);
    ASSERT_NE(tree, nullptr);
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
            xcb_get_property_reply(
                c, xcb_get_property(c, 0, children[i], clock, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                nullptr),
            &std::free);
        EXPECT_TRUE(!property || property->type == XCB_ATOM_NONE) << "a clock window exists";
    }
}

TEST_P(KeyboardTest, SuperTabIsCaughtWhateverLocksAndOtherModifiersAreOn) {
    ASSERT_TRUE(createTap());
    tap(kNumLock);
    tap(kCapsLock);
    key(kSuper, true);
    key(kAlt, true);
    tap(kTab);
    key(kAlt, false);
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
    tap(kCapsLock);
    tap(kNumLock);
    std::vector<KeyboardEvent> downs;
    for (const auto& e : recorder_.events) {
        if (e.type == kCGEventKeyDown)
            downs.push_back(e);
    }
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].keyCode, kVK_Tab);
    EXPECT_EQ(downs[0].flags,
              kCGEventFlagMaskCommand | kCGEventFlagMaskAlternate | kCGEventFlagMaskAlphaShift);
    ASSERT_TRUE(clientSawMarker());
    EXPECT_FALSE(clientSaw(kTab));
}

TEST_P(KeyboardTest, AFastSuperReleaseIsNotLost) {
    ASSERT_TRUE(createTap());
    key(kSuper, true);
    key(kTab, true);
    key(kSuper, false);
    key(kTab, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
    EXPECT_EQ(recorder_.count(kCGEventKeyDown), 1u);
    // The keyboard is back with the focused window.
    ASSERT_TRUE(clientSawMarker());
    EXPECT_FALSE(clientSaw(kTab));
}

TEST_P(KeyboardTest, KeysWhileSuperIsHeldReachTheMonitorsWithCodesAndText) {
    const std::vector<KeyboardEvent>& monitored = consumeMonitoredKeys();
    ASSERT_TRUE(createTap());
    key(kSuper, true);
    tap(kTab);
    tap(kA);
    key(kShift, true);
    tap(kB);
    key(kShift, false);
    for (const xcb_keycode_t k : {kReturn, kKeypadEnter, kBackSpace, kEscape, kDown, kUp})
        tap(k);
    ASSERT_TRUE(loop_.runUntil([&] { return monitored.size() == 8; }));
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));

    EXPECT_EQ(monitored[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(monitored[0].flags, kCGEventFlagMaskCommand);
    EXPECT_EQ(monitored[1].charactersIgnoringModifiers, "B");
    EXPECT_EQ(monitored[1].flags, kCGEventFlagMaskCommand | kCGEventFlagMaskShift);
    const std::int64_t named[] = {kVK_Return, kVK_ANSI_KeypadEnter, kVK_Delete,
                                  kVK_Escape, kVK_DownArrow,        kVK_UpArrow};
    for (std::size_t i = 0; i < std::size(named); ++i)
        EXPECT_EQ(monitored[i + 2].keyCode, named[i]) << i;
    // Letter keys never pass for a key the panel acts on.
    for (const std::int64_t letter : {monitored[0].keyCode, monitored[1].keyCode}) {
        EXPECT_EQ(std::count(std::begin(named), std::end(named), letter), 0);
        EXPECT_NE(letter, kVK_Tab);
    }
    ASSERT_TRUE(clientSawMarker());
    EXPECT_FALSE(clientSaw(kB));
    EXPECT_FALSE(clientSaw(kReturn));
}

TEST_P(KeyboardTest, ModifierChangesArriveWithTheStateAfterThem) {
    ASSERT_TRUE(createTap());
    key(kShift, true);
    key(kShift, false);
    tap(kCapsLock);
    // Modifiers the flags do not name change them all the same.
    key(kAltGr, true);
    key(kAltGr, false);
    tap(kNumLock);
    ASSERT_TRUE(runUntilEvents(6));
    ASSERT_EQ(recorder_.events.size(), 6u);
    const std::uint64_t expected[] = {kCGEventFlagMaskShift,      0u,
                                      kCGEventFlagMaskAlphaShift, kCGEventFlagMaskAlphaShift,
                                      kCGEventFlagMaskAlphaShift, kCGEventFlagMaskAlphaShift};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(recorder_.events[i].type, kCGEventFlagsChanged) << i;
        EXPECT_EQ(recorder_.events[i].flags, expected[i]) << i;
    }
    tap(kCapsLock);
    tap(kNumLock);
}

TEST_P(KeyboardTest, WithoutAPanelTheKeysAfterSuperTabReachTheFocusedWindow) {
    ASSERT_TRUE(createTap());
    key(kSuper, true);
    tap(kTab);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.count(kCGEventKeyDown) == 1; }));
    tap(kC);
    ASSERT_TRUE(
        app_->awaitEvent("key press " + std::to_string(kC) + " 64 " + std::to_string(target_)));
    // A panel that takes the keyboard and lets go again gives it back just the same.
    ASSERT_TRUE(platform_->grabKeyboard());
    platform_->releaseKeyboard();
    tap(kB);
    ASSERT_TRUE(
        app_->awaitEvent("key press " + std::to_string(kB) + " 64 " + std::to_string(target_)));
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
}

TEST_P(KeyboardTest, KeysThePanelDoesNotUseReachTheFocusedWindowAndTheRestStay) {
    recorder_.showPanel = [this] { platform_->grabKeyboard(); };
    // The panel types letters and has no use for function keys.
    std::vector<KeyboardEvent> typed;
    platform_->eventMonitors().addLocalMonitorForEventsMatchingMask(
        NSEventMaskKeyDown, [&](KeyboardEvent* e) -> KeyboardEvent* {
            if (!e->charactersIgnoringModifiers || e->charactersIgnoringModifiers->empty())
                return e;
            typed.push_back(*e);
            return nullptr;
        });
    ASSERT_TRUE(createTap());
    const std::string f5 = std::to_string(kF5) + " 64 " + std::to_string(target_);
    // Typed as a person types: a key typed in the moment between a key given to the window
    // and the panel taking the keyboard back follows it to the window.
    const auto tapF5 = [&](std::size_t seen) {
        tap(kF5);
        loop_.watchReadable(app_->outputFd(), [] {});
        return loop_.runUntil([&] {
            app_->pollEvent("key release " + f5);
            return clientSawCount("key release " + f5) == seen;
        });
    };
    key(kSuper, true);
    tap(kTab);
    ASSERT_TRUE(tapF5(1));
    tap(kA);
    ASSERT_TRUE(tapF5(2));
    key(kShift, true);  // a modifier while the panel is up changes flags, nothing else
    tap(kB);
    key(kShift, false);
    ASSERT_TRUE(loop_.runUntil([&] { return typed.size() == 2; }));
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
    ASSERT_TRUE(clientSawMarker());
    EXPECT_EQ(clientSawCount("key press " + f5), 2u);
    EXPECT_EQ(clientSawCount("key release " + f5), 2u);
    EXPECT_EQ(typed[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(typed[1].charactersIgnoringModifiers, "B");
    for (const xcb_keycode_t kept : {kTab, kB, kShift})
        EXPECT_FALSE(clientSaw(kept)) << int{kept};
    EXPECT_EQ(clientSawCount("key press " + std::to_string(kA) + " 64 "), 0u);
    EXPECT_EQ(clientSawCount("key release " + std::to_string(kSuper) + " "), 1u)
        << "the window that saw Super go down sees it come up";
}

TEST_P(KeyboardTest, AHotkeyHeldElsewhereIsExplainedAndTakenOnceFree) {
    // Another program holds Super+Shift+Tab.
    xcb_connection_t* c = server_->connection();
    const std::uint16_t superShift = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
    ASSERT_EQ(xcb_request_check(c, xcb_grab_key_checked(c, 0, server_->root(), superShift, kTab,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
              nullptr);
    EventTaps& taps = platform_->eventTaps();
    int retries = 0;
    taps.watchTapObstacles([&] { ++retries; }, {});
    ASSERT_FALSE(createTap());
    const auto cause = taps.tapCreateFailureCause();
    ASSERT_TRUE(cause);
    EXPECT_EQ(cause->rfind("Super+Shift+Tab is held by another program (", 0), 0u) << *cause;
    EXPECT_NE(
        cause->find(managed() ? "(the window manager is Openbox)" : "(no window manager runs)"),
        std::string::npos)
        << *cause;
    EXPECT_NE(cause->find("tavrel takes it as soon as it is free"), std::string::npos) << *cause;

    xcb_ungrab_key(c, kTab, server_->root(), superShift);
    server_->sync();
    ASSERT_TRUE(loop_.runUntil([&] { return retries > 0; }));
    ASSERT_TRUE(createTap());
    EXPECT_FALSE(taps.tapCreateFailureCause());
    key(kSuper, true);
    key(kShift, true);
    tap(kTab);
    key(kShift, false);
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
    EXPECT_EQ(recorder_.count(kCGEventKeyDown), 1u);
}

TEST_P(KeyboardTest, SuperTakenBeforeTheGrabCanFireIsReportedOnce) {
    // Another program grabs Super itself, as some window managers do: the Super+Tab grab is
    // ours and never fires.
    xcb_connection_t* c = server_->connection();
    ASSERT_EQ(
        xcb_request_check(c, xcb_grab_key_checked(c, 0, server_->root(), XCB_MOD_MASK_ANY, kSuper,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
        nullptr);
    std::vector<std::string> obstacles;
    platform_->eventTaps().watchTapObstacles(
        {}, [&](const std::string& line) { obstacles.push_back(line); });
    ASSERT_TRUE(createTap());
    const auto superTab = [&] {
        key(kSuper, true);
        tap(kTab);
        key(kSuper, false);
    };
    superTab();
    ASSERT_TRUE(loop_.runUntil([&] { return !obstacles.empty(); }));
    EXPECT_EQ(recorder_.count(kCGEventKeyDown), 0u);
    EXPECT_EQ(obstacles[0].rfind("Super+Tab was pressed but never reached tavrel: another program "
                                 "takes it first (",
                                 0),
              0u)
        << obstacles[0];
    superTab();
    loop_.runUntil([] { return false; }, 700);
    EXPECT_EQ(obstacles.size(), 1u) << "said once";
}

TEST_P(KeyboardTest, ADisabledTapLetsSuperTabThrough) {
    ASSERT_TRUE(createTap());
    platform_->eventTaps().tapEnable(EventTapHandle{1}, false);
    key(kSuper, true);
    key(kTab, true);
    // The grabbed press waits for the tap's verdict, which the main loop gives.
    const std::string tabLine =
        "key press " + std::to_string(kTab) + " 64 " + std::to_string(target_);
    loop_.watchReadable(app_->outputFd(), [] {});
    ASSERT_TRUE(loop_.runUntil([&] { return app_->pollEvent(tabLine); }));
    key(kTab, false);
    key(kSuper, false);
    EXPECT_EQ(recorder_.count(kCGEventKeyDown), 0u);
}

TEST_P(KeyboardTest, ASecondInstanceCannotTapAndGivesBackWhatItTook) {
    ASSERT_TRUE(createTap());
    PollMainLoop otherLoop;
    std::string whyNot;
    auto second = X11Platform::connect(otherLoop, &whyNot);
    ASSERT_NE(second, nullptr) << whyNot;
    Recorder other;
    EXPECT_FALSE(second->eventTaps().tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                               kCGEventTapOptionDefault, kHotkeyEventMask,
                                               &Recorder::callback, &other));
    // Only one combination is taken now: a refused instance must have released the others.
    platform_.reset();
    xcb_connection_t* c = server_->connection();
    const auto grab = [&](std::uint16_t modifiers) {
        return xcb_request_check(c, xcb_grab_key_checked(c, 0, server_->root(), modifiers, kTab,
                                                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    };
    // The first instance's connection closes on its own schedule: each try is a round trip.
    xcb_generic_error_t* error = nullptr;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::free(error);
        error = grab(XCB_MOD_MASK_4 | XCB_MOD_MASK_5);
        if (error == nullptr)
            break;
    }
    ASSERT_EQ(error, nullptr);
    EXPECT_FALSE(second->eventTaps().tapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                               kCGEventTapOptionDefault, kHotkeyEventMask,
                                               &Recorder::callback, &other));
    error = grab(XCB_MOD_MASK_4);
    EXPECT_EQ(error, nullptr);
    std::free(error);
}

TEST_P(KeyboardTest, FollowsKeymapChanges) {
    const std::vector<KeyboardEvent>& monitored = consumeMonitoredKeys();
    ASSERT_TRUE(createTap());
    // The a key now types q.
    const xcb_keysym_t q[] = {'q', 'Q', 'q', 'Q'};
    xcb_change_keyboard_mapping(server_->connection(), 1, kA, 4, q);
    server_->sync();
    key(kSuper, true);
    tap(kTab);
    tap(kA);
    ASSERT_TRUE(loop_.runUntil([&] { return monitored.size() == 1; }));
    EXPECT_EQ(monitored[0].charactersIgnoringModifiers, "q");
    key(kSuper, false);
}

TEST_P(KeyboardTest, ReportsTheLossOfTheServer) {
    bool lost = false;
    platform_->setConnectionLostHandler([&] { lost = true; });
    ASSERT_TRUE(createTap());
    app_.reset();
    server_->stop();
    EXPECT_TRUE(loop_.runUntil([&] { return lost; }));
    EXPECT_FALSE(platform_->windowServer().copyWindowInfo(0, 0));
}

INSTANTIATE_TEST_SUITE_P(X11, KeyboardTest, ::testing::Bool(), managedName);

}  // namespace
}  // namespace tavrel::x11::test
