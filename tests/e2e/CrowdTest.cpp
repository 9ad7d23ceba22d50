// A crowded desktop: 300 windows, more rows than the screen holds.
#include "SessionFixture.h"

namespace tavrel::e2e {
namespace {

constexpr int kWindows = 300;
constexpr int kScreenHeight = 1024;
constexpr int kHeightCap = kScreenHeight - 120;

class CrowdTest : public SessionTest {
  protected:
    static void SetUpTestSuite() { startSession({}); }
    static void TearDownTestSuite() { endSession(); }

    bool tabs(int count) {
        return hotkey(
            kPressLine,
            [&] {
                for (int i = 0; i < count; ++i)
                    desktop().tap("Tab");
            },
            static_cast<std::size_t>(count));
    }
};

TEST_F(CrowdTest, ThreeHundredWindowsCapThePanelAndScrollTheHighlightIntoView) {
    std::vector<std::string> options;
    for (int i = 0; i < kWindows; ++i)
        options.push_back("title=Crowd%20" + std::to_string(i) + " width=200 height=100");
    const auto w = windows(newClient(), options);  // listed: w299 … w0
    ASSERT_TRUE(session().waitForActive(w.back()));

    ASSERT_TRUE(hotkey(kPressLine, [&] { session().superTab(); }));
    ASSERT_TRUE(session().waitForPanel(true));
    const auto panel = session().panelGeometry();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->height, kHeightCap) << "the screen's height less 120 caps the panel";
    EXPECT_EQ(panel->y, (kScreenHeight - kHeightCap) / 2 - 40);
    EXPECT_TRUE(session().waitForHighlight(1));

    // Down the list, past the rows that fit: the highlight stays in view.
    ASSERT_TRUE(tabs(40));  // row 41
    EXPECT_TRUE(desktop().waitUntil([&] { return session().highlightedRow().has_value(); }))
        << "the highlighted row is scrolled into view";
    const auto middle = session().highlightedRow();
    // Backward from the top wraps to the last window, scrolled to the bottom.
    ASSERT_TRUE(hotkey(
        kShiftPressLine,
        [&] {
            desktop().press("Shift_L");
            for (int i = 0; i < 42; ++i)
                desktop().tap("Tab");
            desktop().release("Shift_L");
        },
        42));  // row 299
    const int lastVisibleRow = (kHeightCap - kAllowance) / kRowHeight - 1;
    EXPECT_TRUE(session().waitForHighlight(lastVisibleRow))
        << "the last window's row is at the bottom of the view (was on row " << middle.value_or(-1)
        << ")";
    ASSERT_TRUE(hotkey(kReleaseLine, [&] { session().releaseSuper(); }));
    EXPECT_TRUE(session().waitForActive(w.front()));
    EXPECT_TRUE(session().waitForPanel(false));

    // The next opening starts at the top of the list, the front-most window in view above the
    // highlight, wherever the last one left the scrolling.
    ASSERT_TRUE(hotkey(kPressLine, [&] { session().superTab(); }));
    ASSERT_TRUE(session().waitForPanel(true));
    EXPECT_TRUE(session().waitForHighlight(1));
    ASSERT_TRUE(tabs(40));
    ASSERT_TRUE(hotkey(kReleaseLine, [&] { session().releaseSuper(); }));
    // Listed front to back: w0 (just raised), w299, w298, …: row 41 is w259.
    EXPECT_TRUE(session().waitForActive(w[kWindows - 41]));
}

}  // namespace
}  // namespace tavrel::e2e
