#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>

#include "XHelpers.h"
#include "core/SwitcherPanel.h"
#include "platform/Platform.h"
#include "platform/fake/CallLog.h"
#include "platform/fake/FakeEventMonitors.h"
#include "platform/qt/QtPanelSurface.h"
#include "platform/qt/QtScreens.h"

namespace tavrel::qt::test {
namespace {

// The core's own panel drawn by the Qt surface on the 1600 × 1000 test screen.
class CorePanelOnScreenTest : public testing::Test {
  protected:
    CorePanelOnScreenTest() : monitors(log) {
        Platform services;
        services.screens = &screens;
        services.panelSurfaces = &surfaces;
        services.eventMonitors = &monitors;
        installPlatform(services);
        panel = SwitcherPanel::create({});
    }
    ~CorePanelOnScreenTest() override {
        panel.reset();
        installPlatform({});
    }

    static std::vector<WindowEntry> windows(int count) {
        std::vector<WindowEntry> entries;
        for (int i = 0; i < count; ++i) {
            entries.push_back({static_cast<std::uint32_t>(100 + i), 10 + i,
                               i % 2 ? "Editor" : "Terminal", nullptr,
                               "window " + std::to_string(i), std::nullopt});
        }
        return entries;
    }

    fake::CallLog log;
    QtScreens screens;
    QtPanelSurfaces surfaces;
    fake::FakeEventMonitors monitors;
    std::shared_ptr<SwitcherPanel> panel;
};

TEST_F(CorePanelOnScreenTest, SizedToItsRowsAndCentred40PointsAboveTheMiddle) {
    panel->update(windows(3), 1);
    panel->present();
    sync();
    const xcb_window_t window = shownPanel();
    ASSERT_NE(window, XCB_WINDOW_NONE);
    // 3 × 38 + 12 = 126 high; centre at y-up 540 on a 1000-high screen = 460 from the top.
    EXPECT_EQ(geometry(window), QRect(490, 397, 620, 126));
    QImage shot = grabScreen(window);
    const QRgb accent = QGuiApplication::palette().color(QPalette::Highlight).rgb();
    EXPECT_EQ(shot.pixel(6 + 10, 6 + 38 + 19), accent);
    EXPECT_NE(shot.pixel(6 + 10, 6 + 19), accent);
    const QRgb fill = shot.pixel(300, 3);

    // Typing shows the label and grows the panel by 26, re-centred.
    ASSERT_TRUE(panel->handleKeyDown({kCGEventKeyDown, 0, 0, "e"}));
    QCoreApplication::processEvents();
    sync();
    const QRect grown = geometry(window);
    EXPECT_EQ(grown.height(), 3 * 38 + 38);
    EXPECT_EQ(grown.top() + grown.height() / 2, 460);
    shot = grabScreen(window);
    int inked = 0;
    for (int x = 14; x < 100; ++x)
        inked += shot.pixel(x, 8 + 9) != fill;
    EXPECT_GT(inked, 5);  // "Search: e" in the label's strip
    panel->orderOut();
    QCoreApplication::processEvents();
    sync();
    EXPECT_EQ(shownPanel(), XCB_WINDOW_NONE);
}

}  // namespace
}  // namespace tavrel::qt::test
