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
                        kShift = 50, kCapsLock = 66, kKeypadEnter = 104, kUp = 111, kDown = 116,
                        kSuper = 133, kAlt = 64, kNumLock = 77;

// Stands in for the hotkey logic: records what the tap sees and drops Command+Tab.
struct Recorder {
    std::vector<KeyboardEvent> events;
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
    // Registers a monitor that keeps (and consumes) every key-down handed to it.
    const std::vector<KeyboardEvent>& consumeMonitoredKeys() {
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
        const std::string prefix = "key press " + std::to_string(keycode) + " ";
        return std::any_of(app_->events.begin(), app_->events.end(),
                           [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
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
    ASSERT_TRUE(runUntilEvents(3));
    ASSERT_EQ(recorder_.events.size(), 3u);
    EXPECT_EQ(recorder_.events[0].flags, kCGEventFlagMaskShift);
    EXPECT_EQ(recorder_.events[1].flags, 0u);
    EXPECT_EQ(recorder_.events[2].flags, kCGEventFlagMaskAlphaShift);
    for (const auto& e : recorder_.events)
        EXPECT_EQ(e.type, kCGEventFlagsChanged);
    tap(kCapsLock);
}

TEST_P(KeyboardTest, ReleasingTheKeyboardGivesKeysBackWhileSuperIsHeld) {
    ASSERT_TRUE(createTap());
    key(kSuper, true);
    tap(kTab);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.count(kCGEventKeyDown) == 1; }));
    platform_->releaseKeyboard();
    tap(kB);
    ASSERT_TRUE(
        app_->awaitEvent("key press " + std::to_string(kB) + " 64 " + std::to_string(target_)));
    key(kSuper, false);
    ASSERT_TRUE(loop_.runUntil([&] { return recorder_.sawCommit(); }));
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
