#include "platform/wayland/RecentWindows.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/wayland/SwayTree.h"

namespace tavrel::wayland {
namespace {

using Order = std::vector<std::uint32_t>;

// One step of what the compositor tells: "+N" a new window, "-N" it closed, "aN" it is
// activated, "dN" it is no longer activated.
void apply(RecentWindows& recent, const std::string& step) {
    const auto id = static_cast<std::uint32_t>(std::stoul(step.substr(1)));
    switch (step[0]) {
        case '+':
            recent.add(id);
            break;
        case '-':
            recent.remove(id);
            break;
        case 'a':
            recent.setActivated(id, true);
            break;
        case 'd':
            recent.setActivated(id, false);
            break;
    }
}

struct Case {
    const char* name;
    std::vector<std::string> steps;
    Order expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class RecentWindowsTest : public testing::TestWithParam<Case> {};

TEST_P(RecentWindowsTest, OrdersByRisingEdgesOfActivated) {
    RecentWindows recent;
    for (const std::string& step : GetParam().steps)
        apply(recent, step);
    EXPECT_EQ(recent.order(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RecentWindowsTest,
    testing::Values(
        Case{"NewWindowsGoBehind", {"+1", "+2", "+3"}, {1, 2, 3}},
        Case{"ActivationBringsToFront", {"+1", "+2", "+3", "a3"}, {3, 1, 2}},
        // The panel takes the activated state away; the window the user is on stays in front.
        Case{"LosingActivatedNeverDemotes", {"+1", "+2", "a2", "a1", "d1"}, {1, 2}},
        Case{"ActivatedAgainAfterALossComesForward", {"+1", "+2", "a1", "a2", "d1", "a1"}, {1, 2}},
        Case{"ClosedWindowsLeave", {"+1", "+2", "+3", "a2", "-2"}, {1, 3}},
        Case{"AClosedActivatedWindowLeavesNoEdgeBehind", {"+1", "a1", "-1", "+1", "a1"}, {1}},
        Case{"UnknownWindowsAreIgnored", {"+1", "a7", "+7"}, {1, 7}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecentWindowsSeeding, TakesTheCompositorsFocusOrderForTheWindowsItNames) {
    // Windows arrive newest first at start-up; sway's tree knows the order they were used in.
    RecentWindows recent;
    for (std::uint32_t id : {1, 2, 3, 4})
        recent.add(id);
    const std::vector<std::pair<std::uint32_t, TreeWindow>> listed = {
        {1, {"foot", "~"}}, {2, {"firefox", "Start"}}, {3, {"foot", "~"}}, {4, {"mpv", "film"}}};
    const std::vector<TreeWindow> focusOrder = {
        {"firefox", "Start"}, {"foot", "~"}, {"gone", "closed since"}, {"foot", "~"}};
    recent.seed(matchFocusOrder(focusOrder, listed));
    // Equal windows match in the order given; the unnamed one keeps its place behind.
    EXPECT_EQ(recent.order(), (Order{2, 1, 3, 4}));
    recent.setActivated(4, true);
    EXPECT_EQ(recent.order(), (Order{4, 2, 1, 3}));
}

}  // namespace
}  // namespace tavrel::wayland
