// Two monitors side by side: the panel opens on the one under the pointer.
#include "SessionFixture.h"

namespace tavrel::e2e {
namespace {

constexpr int kMonitorWidth = 1280;
constexpr int kMonitorHeight = 1024;

class ScreensTest : public SessionTest {
  protected:
    static void SetUpTestSuite() { startSession({.twoMonitors = true}); }
    static void TearDownTestSuite() { endSession(); }

    // Opens the panel with the pointer at (x, y) and answers where it showed.
    std::optional<Geometry> panelWithPointerAt(int x, int y) {
        desktop().movePointer(x, y);
        if (!hotkey(kPressLine, [&] { session().superTab(); }) || !session().waitForPanel(true))
            return std::nullopt;
        const auto panel = session().panelGeometry();
        hotkey(kReleaseLine, [&] { session().releaseSuper(); });
        session().waitForPanel(false);
        return panel;
    }
};

TEST_F(ScreensTest, ThePanelIsCentredOnTheMonitorUnderThePointer) {
    ASSERT_EQ(desktop().monitors().size(), 2u);
    windows(newClient(), {"title=Left x=100 y=100", "title=Right x=1500 y=100"});
    const int height = 2 * kRowHeight + kAllowance;
    const int top = kMonitorHeight / 2 - 40 - height / 2;

    const auto left = panelWithPointerAt(200, 500);
    ASSERT_TRUE(left);
    // Centred on the whole wide screen it would sit at 970: then tavrel sees one screen.
    EXPECT_EQ(left->x, kMonitorWidth / 2 - kPanelWidth / 2) << "tavrel does not see two screens";
    EXPECT_EQ(left->y, top);
    EXPECT_EQ(left->height, height);

    const auto right = panelWithPointerAt(kMonitorWidth + 900, 300);
    ASSERT_TRUE(right);
    EXPECT_EQ(right->x, kMonitorWidth + kMonitorWidth / 2 - kPanelWidth / 2);
    EXPECT_EQ(right->y, top);
}

}  // namespace
}  // namespace tavrel::e2e
