#include "core/SwitcherController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "ScriptedWindows.h"

namespace tavrel {
namespace {

using scripted::activatedApps;
using scripted::kFourWindows;
using scripted::showWindows;
using Apps = std::vector<std::string>;

class SwitcherControllerTest : public ::testing::Test {
  protected:
    fake::FakePanelSurface* window() { return platform.panelSurfaces.last; }
    std::size_t callIndex(const std::string& prefix) {
        const auto& calls = platform.calls.calls();
        const auto found = std::find_if(calls.begin(), calls.end(), [&](const std::string& c) {
            return c.rfind(prefix, 0) == 0;
        });
        return static_cast<std::size_t>(found - calls.begin());
    }

    fake::FakePlatform platform;
    std::shared_ptr<SwitcherController> controller = std::make_shared<SwitcherController>();
};

TEST_F(SwitcherControllerTest, PreWarmBuildsThePanelOnceAndShowsNothing) {
    showWindows(platform, kFourWindows);
    controller->preWarm();
    EXPECT_EQ(platform.panelSurfaces.made, 1);
    EXPECT_EQ(callIndex("copyWindowInfo"), callIndex("addLocalMonitor") + 1)
        << "one enumeration after the panel is complete";
    EXPECT_FALSE(controller->isVisible());
    EXPECT_TRUE(controller->entries().empty());
    EXPECT_EQ(controller->selection(), 0);
    EXPECT_FALSE(window()->visible);

    controller->advance(false);
    controller->cancel();
    controller->preWarm();
    controller->advance(false);
    EXPECT_EQ(platform.panelSurfaces.made, 1) << "the panel is never rebuilt";
}

TEST_F(SwitcherControllerTest, NoWindowsShowNothing) {
    controller->advance(false);
    EXPECT_FALSE(controller->isVisible());
    EXPECT_EQ(platform.panelSurfaces.made, 0);
    controller->commitIfVisible();
    controller->cancel();
    EXPECT_TRUE(activatedApps(platform).empty());
}

TEST_F(SwitcherControllerTest, OneWindowOpensOnItAndStaysThere) {
    showWindows(platform, {kFourWindows[2]});
    controller->advance(true);
    EXPECT_EQ(controller->selection(), 0);
    controller->advance(false);
    controller->advance(true);
    EXPECT_EQ(controller->selection(), 0);
    controller->commitIfVisible();
    EXPECT_EQ(activatedApps(platform), (Apps{"Mail"}));
}

TEST_F(SwitcherControllerTest, EitherDirectionOpensOnTheSecondWindow) {
    showWindows(platform, kFourWindows);
    controller->advance(true);
    EXPECT_TRUE(controller->isVisible());
    EXPECT_EQ(controller->selection(), 1) << "Shift+Tab opens behind the front-most, not last";
    EXPECT_EQ(controller->entries().size(), 4u);
    EXPECT_EQ(window()->selected, 1);
    EXPECT_TRUE(window()->visible);
    EXPECT_TRUE(window()->key);
}

TEST_F(SwitcherControllerTest, MovesWrapAroundBothWays) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    controller->advance(false);
    controller->advance(false);
    EXPECT_EQ(controller->selection(), 3);
    controller->advance(false);
    EXPECT_EQ(controller->selection(), 0);
    EXPECT_EQ(window()->selected, 0);
    controller->advance(true);
    EXPECT_EQ(controller->selection(), 3);
    EXPECT_EQ(window()->selected, 3);
    EXPECT_EQ(window()->scrolledTo, 3);
}

TEST_F(SwitcherControllerTest, CommitHidesFirstThenActivatesTheSelection) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    controller->advance(false);
    platform.calls.clear();
    controller->commitIfVisible();
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(window()->visible);
    EXPECT_EQ(activatedApps(platform), (Apps{"Mail"}));
    EXPECT_LT(callIndex("orderOut"), callIndex("runningApplication"));
    // The last switch's values stay until the next opening.
    EXPECT_EQ(controller->selection(), 2);
    EXPECT_EQ(controller->entries().size(), 4u);

    controller->commitIfVisible();
    EXPECT_EQ(activatedApps(platform).size(), 1u) << "a second release does nothing";
}

TEST_F(SwitcherControllerTest, ShowSwitcherOpensAndCommitsAtOnce) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    controller->commitIfVisible();
    EXPECT_EQ(activatedApps(platform), (Apps{"Shell"}));
    EXPECT_FALSE(window()->visible);
}

TEST_F(SwitcherControllerTest, CancelHidesWithoutActivating) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    controller->advance(false);
    controller->cancel();
    EXPECT_FALSE(controller->isVisible());
    EXPECT_FALSE(window()->visible);
    controller->commitIfVisible();
    EXPECT_TRUE(activatedApps(platform).empty());
    EXPECT_EQ(controller->selection(), 2);
}

TEST_F(SwitcherControllerTest, BadIndicesAreIgnored) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    for (const std::int64_t bad : {std::int64_t{4}, std::int64_t{99}, std::int64_t{-1},
                                   std::numeric_limits<std::int64_t>::min()})
        controller->setSelection(bad);
    EXPECT_EQ(controller->selection(), 1);
    controller->setSelection(3);
    EXPECT_EQ(controller->selection(), 3);
}

TEST_F(SwitcherControllerTest, AnEmptyOpeningLeavesAStaleSelectionThatNothingActivates) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    controller->advance(false);
    controller->cancel();
    showWindows(platform, {});
    controller->advance(false);
    EXPECT_FALSE(controller->isVisible());
    EXPECT_TRUE(controller->entries().empty());
    EXPECT_EQ(controller->selection(), 2) << "kept, now outside the snapshot";
    controller->advance(true);
    controller->commitIfVisible();
    controller->cancel();
    EXPECT_TRUE(activatedApps(platform).empty());
}

TEST_F(SwitcherControllerTest, WindowsChangingDuringASwitchAreNotSeen) {
    showWindows(platform, kFourWindows);
    controller->advance(false);
    showWindows(platform, {kFourWindows[3]});
    controller->advance(false);
    EXPECT_EQ(controller->entries().size(), 4u);
    EXPECT_EQ(controller->selection(), 2);
}

}  // namespace
}  // namespace tavrel
