#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QProcess>
#include <QTest>

#include "ChildProcess.h"
#include "TestRows.h"
#include "XHelpers.h"
#include "platform/qt/PanelBackground.h"
#include "platform/qt/PanelListView.h"
#include "platform/qt/PanelWindow.h"
#include "platform/qt/QtPanelSurface.h"

namespace tavrel::qt::test {
namespace {

class PanelSurfaceTest : public testing::Test {
  protected:
    PanelSurfaceTest() {
        surfaces.setKeyboardHandlers([this] { ++keyboardTaken; }, [this] { ++keyboardReleased; });
        panel = surfaces.makePanel(switcherStyle(), switcherLayout(), rows);
    }

    QtPanelSurface& qtPanel() { return static_cast<QtPanelSurface&>(*panel); }
    PanelListView& list() { return qtPanel().background().list(); }

    // The panel as the switcher shows it: sized to `count` rows on the 1600 × 1000 screen.
    void showRows(int count, int selected) {
        rows.cells.clear();
        for (int i = 0; i < count; ++i)
            rows.cells.push_back(
                {"App " + std::to_string(i), nullptr, "Window " + std::to_string(i)});
        panel->reloadData();
        const double height = count * 38.0 + 12.0;
        panel->setFrame({{490.0, 449.0}, {620.0, height}}, false);
        panel->setScrollViewFrame({{6.0, 6.0}, {608.0, height - 12.0}});
        panel->selectRowIndexes(selected, false);
        panel->orderFrontRegardless();
    }

    static QRgb accent() { return QApplication::palette().color(QPalette::Highlight).rgb(); }
    // A pixel inside the highlight's rounded rectangle of `row`, clear of the labels.
    static QPoint insideHighlight(int row) { return {6 + 10, 6 + row * 38 + 19}; }

    TestRows rows;
    QtPanelSurfaces surfaces;
    std::unique_ptr<PanelSurface> panel;
    int keyboardTaken = 0;
    int keyboardReleased = 0;
};

TEST_F(PanelSurfaceTest, FramesAreYUpPointsFromThePrimaryScreensLowerLeft) {
    showRows(3, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtPanel().window()));
    // 1000-high screen: a 126-high panel whose lower edge is at 449 has its top at 425.
    EXPECT_EQ(qtPanel().window().geometry(), QRect(490, 425, 620, 126));
    EXPECT_EQ(panel->frame(), (Rect{{490.0, 449.0}, {620.0, 126.0}}));

    panel->setFrameOrigin({100.0, 100.0});
    EXPECT_EQ(qtPanel().window().geometry(), QRect(100, 774, 620, 126));
    EXPECT_EQ(panel->frame().origin, (Point{100.0, 100.0}));
}

TEST_F(PanelSurfaceTest, ShowsAboveEverythingWithoutTheWindowManagerOrTheFocus) {
    const xcb_window_t focusBefore = inputFocus();
    showRows(2, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtPanel().window()));
    EXPECT_TRUE(overrideRedirect(qtPanel().window()));
    sync();
    EXPECT_EQ(inputFocus(), focusBefore);

    panel->makeKeyWindow();
    EXPECT_EQ(inputFocus(), focusBefore);
    EXPECT_EQ(keyboardTaken, 1);
    panel->orderOut();
    EXPECT_FALSE(qtPanel().window().isVisible());
    EXPECT_EQ(keyboardReleased, 1);
}

TEST_F(PanelSurfaceTest, HighlightIsPaintedInTheAccentColourOnTheSelectedRowOnly) {
    showRows(3, 1);
    QImage shot = grabShown(qtPanel().window());
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixel(insideHighlight(1)), accent());
    EXPECT_NE(shot.pixel(insideHighlight(0)), accent());
    EXPECT_NE(shot.pixel(insideHighlight(2)), accent());
    // The highlight is inset 7 from the row's ends and 3 from its edges.
    EXPECT_NE(shot.pixel(6 + 3, 6 + 38 + 19), accent());
    EXPECT_NE(shot.pixel(6 + 300, 6 + 38 + 1), accent());

    panel->selectRowIndexes(2, false);
    shot = grabShown(qtPanel().window());
    EXPECT_EQ(panel->selectedRow(), 2);
    EXPECT_NE(shot.pixel(insideHighlight(1)), accent());
    EXPECT_EQ(shot.pixel(insideHighlight(2)), accent());
}

TEST_F(PanelSurfaceTest, SearchLabelStaysPinnedBelowTheTopEdge) {
    showRows(4, 0);
    QLabel& label = qtPanel().background().searchLabel();
    EXPECT_FALSE(label.isVisible());

    panel->setSearchLabelText("Search: ab");
    panel->setSearchLabelHidden(false);
    const double height = 4 * 38.0 + 38.0;
    panel->setFrame({{490.0, 400.0}, {620.0, height}}, false);
    panel->setScrollViewFrame({{6.0, 6.0}, {608.0, height - 32.0}});
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(label.text(), QStringLiteral("Search: ab"));
    EXPECT_EQ(label.geometry(), QRect(14, 8, 592, 18));
    EXPECT_EQ(list().geometry(), QRect(6, 26, 608, 4 * 38 + 6));

    panel->setSearchLabelHidden(true);
    EXPECT_FALSE(label.isVisible());
}

TEST_F(PanelSurfaceTest, ClickSelectsTheRowAndReportsItAndEmptySpaceKeepsTheSelection) {
    showRows(3, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtPanel().window()));
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, QPoint(300, 2 * 38 + 10));
    EXPECT_EQ(rows.clicks, 1);
    EXPECT_EQ(panel->clickedRow(), 2);
    EXPECT_EQ(panel->selectedRow(), 2);

    panel->setFrame({{490.0, 400.0}, {620.0, 300.0}}, false);
    panel->setScrollViewFrame({{6.0, 6.0}, {608.0, 288.0}});
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, QPoint(300, 250));
    EXPECT_EQ(rows.clicks, 2);
    EXPECT_EQ(panel->clickedRow(), -1);
    EXPECT_EQ(panel->selectedRow(), 2);
}

TEST_F(PanelSurfaceTest, ReloadKeepsOnlyASelectionThatStillExists) {
    showRows(5, 4);
    rows.cells.resize(2);
    panel->reloadData();
    EXPECT_EQ(panel->selectedRow(), -1);
    panel->selectRowIndexes(7, false);
    EXPECT_EQ(panel->selectedRow(), -1);
    panel->selectRowIndexes(1, false);
    EXPECT_EQ(panel->selectedRow(), 1);
}

TEST_F(PanelSurfaceTest, TooManyRowsScrollUnderAnOverlayScroller) {
    showRows(30, 29);
    panel->setFrame({{490.0, 100.0}, {620.0, 400.0}}, false);
    panel->setScrollViewFrame({{6.0, 6.0}, {608.0, 388.0}});
    panel->scrollRowToVisible(29);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtPanel().window()));
    EXPECT_EQ(list().viewport()->width(), 608);  // the scroller takes no width from the rows
    const QRect last = list().visualRect(list().model()->index(29, 0));
    EXPECT_TRUE(list().viewport()->rect().contains(last));
}

TEST_F(PanelSurfaceTest, IconsAreConvertedOncePerImageAndOnlyShrunk) {
    const Image large = solidIcon(512, 512, 0xff2080c0);
    const Image small = solidIcon(16, 16, 0xffc02020);
    showRows(3, 0);
    rows.cells[0].icon = large;
    rows.cells[1].icon = large;
    rows.cells[2].icon = small;
    panel->reloadData();
    QImage shot = grabShown(qtPanel().window());
    shot = grabShown(qtPanel().window());
    EXPECT_EQ(surfaces.icons().size(), 2u);
    // 22-point box at x 246 in the cell: the large icon fills it, the small one is centred.
    EXPECT_EQ(shot.pixel(6 + 246 + 1, 6 + 38 + 19), qRgb(0x20, 0x80, 0xc0));
    EXPECT_EQ(shot.pixel(6 + 246 + 11, 6 + 2 * 38 + 19), qRgb(0xc0, 0x20, 0x20));
    EXPECT_NE(shot.pixel(6 + 246 + 1, 6 + 2 * 38 + 19), qRgb(0xc0, 0x20, 0x20));

    IconPixmapCache cache;
    EXPECT_EQ(cache.pixmap(large, 22.0, 2.0).deviceIndependentSize(), QSizeF(22.0, 22.0));
    EXPECT_EQ(cache.pixmap(large, 22.0, 2.0).width(), 44);
    EXPECT_EQ(cache.pixmap(solidIcon(64, 32, 0xff000000), 22.0, 1.0).deviceIndependentSize(),
              QSizeF(22.0, 11.0));
    EXPECT_EQ(cache.pixmap(small, 22.0, 1.0).deviceIndependentSize(), QSizeF(16.0, 16.0));
    auto truncated = std::make_shared<IconImage>(IconImage{64, 64, std::vector<std::uint32_t>(10)});
    EXPECT_TRUE(cache.pixmap(truncated, 22.0, 1.0).isNull());
    EXPECT_TRUE(cache.pixmap(nullptr, 22.0, 1.0).isNull());
}

TEST_F(PanelSurfaceTest, UsesA32BitVisualOnlyWhileACompositorRuns) {
    showRows(2, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtPanel().window()));
    EXPECT_FALSE(qtPanel().window().translucent());
    EXPECT_FALSE(qtPanel().window().mask().isEmpty());

    ChildProcess compositor = ChildProcess::start({"xcompmgr"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return qtPanel().window().translucent(); }, 5000));
    EXPECT_TRUE(qtPanel().window().isVisible());
    EXPECT_EQ(depth(qtPanel().window()), 32);
    EXPECT_EQ(panel->frame(), (Rect{{490.0, 449.0}, {620.0, 88.0}}));

    compositor.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !qtPanel().window().translucent(); }, 5000));
    EXPECT_TRUE(qtPanel().window().isVisible());
    EXPECT_EQ(depth(qtPanel().window()), 24);
}

}  // namespace
}  // namespace tavrel::qt::test
