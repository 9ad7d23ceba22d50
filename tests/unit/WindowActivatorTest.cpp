#include "core/WindowActivator.h"

#include <gtest/gtest.h>

#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

using Calls = std::vector<std::string>;

constexpr std::int32_t kPid = 72001;

WindowEntry entryTitled(std::string title) {
    return {500, kPid, "Editor", nullptr, std::move(title), std::nullopt};
}

// The application runs and answers accessibility with these windows, front to back.
void runWithWindows(fake::FakePlatform& fake, std::vector<fake::FakeAXWindow> windows) {
    fake.runningApplications.apps[kPid] = {"Editor", nullptr, std::nullopt};
    fake.accessibility.apps[kPid].windows = std::move(windows);
}

const Calls kUpToTheWindowList{"runningApplication pid=72001", "activate pid=72001 options=2",
                               "AXUIElementCreateApplication 72001", "copy app 72001 AXWindows"};

Calls after(Calls head, const Calls& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(WindowActivator, ActivatesThenUnminimisesRaisesAndMakesMainTheTitledWindow) {
    fake::FakePlatform fake;
    runWithWindows(fake, {{.id = 1, .title = std::string("Notes")},
                          {.id = 2, .title = std::string("Draft"), .minimized = true},
                          {.id = 3, .title = std::string("Draft")}});
    WindowActivator::activate(entryTitled("Draft"));
    EXPECT_EQ(fake.calls.calls(),
              after(kUpToTheWindowList,
                    {"copy window 1 AXTitle", "copy window 2 AXTitle", "copy window 2 AXMinimized",
                     "set window 2 AXMinimized=false", "perform window 2 AXRaise",
                     "settable? window 2 AXMain", "set window 2 AXMain=true"}));
    EXPECT_FALSE(fake.accessibility.window(kPid, 3)->raised);
}

TEST(WindowActivator, DoesNothingForAnApplicationThatIsGone) {
    fake::FakePlatform fake;
    fake.accessibility.apps[kPid].windows = {{.id = 1, .title = std::string("Draft")}};
    WindowActivator::activate(entryTitled("Draft"));
    EXPECT_EQ(fake.calls.calls(), (Calls{"runningApplication pid=72001"}));
}

TEST(WindowActivator, StopsAfterActivatingWhenTheWindowListIsUnusable) {
    {
        fake::FakePlatform fake;
        runWithWindows(fake, {{.id = 1, .title = std::string("Draft")}});
        fake.accessibility.apps[kPid].windowsResult = kAXErrorCannotComplete;
        WindowActivator::activate(entryTitled("Draft"));
        EXPECT_EQ(fake.calls.calls(), kUpToTheWindowList);
    }
    for (const Value& answer : {Value{ElementList{}}, Value{std::string("windows")}, Value{}}) {
        fake::FakePlatform fake;
        runWithWindows(fake, {{.id = 1, .title = std::string("Draft")}});
        fake.accessibility.apps[kPid].windowsValue = answer;
        WindowActivator::activate(entryTitled("Draft"));
        EXPECT_EQ(fake.calls.calls(), kUpToTheWindowList) << answer.index();
    }
}

TEST(WindowActivator, FallsBackToTheFirstWindowWhenNoTitleMatches) {
    fake::FakePlatform fake;
    runWithWindows(fake, {{.id = 1, .title = std::string("Notes")},
                          {.id = 2, .title = std::int64_t{7}},
                          {.id = 3, .title = Value{}}});
    WindowActivator::activate(entryTitled("Draft"));
    EXPECT_EQ(fake.calls.calls(),
              after(kUpToTheWindowList,
                    {"copy window 1 AXTitle", "copy window 2 AXTitle", "copy window 3 AXTitle",
                     "copy window 1 AXMinimized", "perform window 1 AXRaise",
                     "settable? window 1 AXMain", "set window 1 AXMain=true"}));
}

// The entry was listed for window 500. Renamed since, it is still the one chosen, even when
// it took another window's title; under its listed title, the first window so titled is.
TEST(WindowActivator, TheListedWindowIsChosenWhateverItsTitleBecame) {
    const std::vector<std::pair<std::string, std::uint64_t>> cases = {
        {"After", 500}, {"Notes", 500}, {"Draft", 2}};
    for (const auto& [title, chosen] : cases) {
        fake::FakePlatform fake;
        runWithWindows(fake, {{.id = 1, .title = std::string("Notes")},
                              {.id = 2, .title = std::string("Draft")},
                              {.id = 500, .title = title}});
        WindowActivator::activate(entryTitled("Draft"));
        for (const std::uint64_t id : {1, 2, 500})
            EXPECT_EQ(fake.accessibility.window(kPid, id)->raised, id == chosen) << title;
    }
}

TEST(WindowActivator, TitlesMatchUnderCanonicalEquivalence) {
    fake::FakePlatform fake;
    runWithWindows(fake, {{.id = 1, .title = std::string("Cafe")},
                          {.id = 2, .title = std::string("Cafe\u0301 menu")}});
    WindowActivator::activate(entryTitled("Caf\u00e9 menu"));
    EXPECT_TRUE(fake.accessibility.window(kPid, 2)->raised);
    EXPECT_FALSE(fake.accessibility.window(kPid, 1)->raised);
}

TEST(WindowActivator, ATitleAnsweredWithAnErrorCodeStillCounts) {
    fake::FakePlatform fake;
    runWithWindows(fake,
                   {{.id = 1, .title = std::string("Notes")},
                    {.id = 2, .title = std::string("Draft"), .titleResult = kAXErrorFailure}});
    WindowActivator::activate(entryTitled("Draft"));
    EXPECT_TRUE(fake.accessibility.window(kPid, 2)->raised);
}

TEST(WindowActivator, UnminimisesOnlyAWindowThatSaysItIsMinimised) {
    for (const Value& minimized : {Value{false}, Value{std::int64_t{1}}, Value{}}) {
        fake::FakePlatform fake;
        runWithWindows(fake, {{.id = 1, .title = std::string("Draft"), .minimized = minimized}});
        WindowActivator::activate(entryTitled("Draft"));
        EXPECT_EQ(
            fake.calls.calls(),
            after(kUpToTheWindowList,
                  {"copy window 1 AXTitle", "copy window 1 AXMinimized", "perform window 1 AXRaise",
                   "settable? window 1 AXMain", "set window 1 AXMain=true"}))
            << minimized.index();
    }
}

TEST(WindowActivator, MakesMainOnlyWhenTheAttributeIsSurelySettable) {
    const std::vector<fake::FakeAXWindow> refusing{
        {.id = 1, .title = std::string("Draft"), .mainSettable = false},
        {.id = 1, .title = std::string("Draft"), .settableResult = kAXErrorFailure}};
    for (const auto& window : refusing) {
        fake::FakePlatform fake;
        runWithWindows(fake, {window});
        WindowActivator::activate(entryTitled("Draft"));
        EXPECT_EQ(
            fake.calls.calls(),
            after(kUpToTheWindowList, {"copy window 1 AXTitle", "copy window 1 AXMinimized",
                                       "perform window 1 AXRaise", "settable? window 1 AXMain"}));
        EXPECT_TRUE(fake.accessibility.window(kPid, 1)->raised);
    }
}

}  // namespace
}  // namespace tavrel
