#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>

#include "XHelpers.h"
#include "core/SwitcherPanel.h"
#include "platform/Platform.h"
#include "platform/fake/CallLog.h"
#include "platform/fake/FakeEventMonitors.h"
#include "platform/qt/PanelBackground.h"
#include "platform/qt/PanelWindow.h"
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

    // The panel's window as it is on screen now (the compositor decides which of the two).
    static PanelWindow& window() {
        PanelWindow* shown = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* candidate = qobject_cast<PanelWindow*>(widget);
                candidate && candidate->isVisible())
                shown = candidate;
        }
        EXPECT_NE(shown, nullptr);
        return *shown;
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
    // 3 × 38 + 12 = 126 high; centre at y-up 540 on a 1000-high screen = 460 from the top.
    EXPECT_EQ(window().geometry(), QRect(490, 397, 620, 126));
    const QImage shot = grabShown(window());
    const QRgb accent = QApplication::palette().color(QPalette::Highlight).rgb();
    EXPECT_EQ(shot.pixel(6 + 10, 6 + 38 + 19), accent);
    EXPECT_NE(shot.pixel(6 + 10, 6 + 19), accent);

    // Typing shows the label and grows the panel by 26, re-centred.
    ASSERT_TRUE(panel->handleKeyDown({kCGEventKeyDown, 0, 0, "e"}));
    const QLabel* label = window().findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(), QStringLiteral("Search: e"));
    const QRect grown = window().geometry();
    EXPECT_EQ(grown.height(), 3 * 38 + 38);
    EXPECT_EQ(grown.top() + grown.height() / 2, 460);
    PanelWindow& shown = window();
    panel->orderOut();
    EXPECT_FALSE(shown.isVisible());
}

}  // namespace
}  // namespace tavrel::qt::test
