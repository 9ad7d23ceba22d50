#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QTest>
#include <cstdlib>

#include "ChildProcess.h"
#include "TestRows.h"
#include "XHelpers.h"
#include "core/SwitcherPanel.h"
#include "platform/qt/QtPanelSurface.h"

namespace tavrel::qt::test {
namespace {

// The X11 presenter of the panel on the 1600 × 1000 test screen.
class PanelSurfaceTest : public testing::Test {
  protected:
    PanelSurfaceTest() {
        surfaces.setKeyboardHandlers([this] { ++keyboardTaken; }, [this] { ++keyboardReleased; });
        panel =
            surfaces.makePanel(SwitcherPanel::windowStyle(), SwitcherPanel::contentLayout(), rows);
    }

    QtPanelSurface& qtPanel() { return static_cast<QtPanelSurface&>(*panel); }
    xcb_window_t window() { return qtPanel().windowId(); }

    // The panel as the switcher shows it: sized to `count` rows.
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

    static QRgb accent() { return QGuiApplication::palette().color(QPalette::Highlight).rgb(); }
    // A pixel inside the highlight's rounded rectangle of `row`, clear of the labels.
    static QPoint insideHighlight(int row) { return {6 + 10, 6 + row * 38 + 19}; }
    // Runs what the current event left for later, then waits for the server.
    static void settle() {
        QCoreApplication::processEvents();
        sync();
    }

    TestRows rows;
    QtPanelSurfaces surfaces;
    std::unique_ptr<PanelSurface> panel;
    int keyboardTaken = 0;
    int keyboardReleased = 0;
};

TEST_F(PanelSurfaceTest, ShowsAboveEverythingAtItsFrameWithoutTheWindowManagerOrTheFocus) {
    const xcb_window_t focusBefore = inputFocus();
    showRows(3, 1);
    sync();
    ASSERT_TRUE(mapped(window()));
    EXPECT_TRUE(overrideRedirect(window()));
    EXPECT_EQ(shownPanel(), window());
    // 1000-high screen: a 126-high panel whose lower edge is at 449 has its top at 425.
    EXPECT_EQ(geometry(window()), QRect(490, 425, 620, 126));
    EXPECT_EQ(panel->frame(), (Rect{{490.0, 449.0}, {620.0, 126.0}}));
    EXPECT_EQ(inputFocus(), focusBefore);

    panel->setFrameOrigin({100.0, 100.0});
    settle();
    EXPECT_EQ(geometry(window()), QRect(100, 774, 620, 126));
    EXPECT_EQ(panel->frame().origin, (Point{100.0, 100.0}));

    panel->makeKeyWindow();
    EXPECT_EQ(inputFocus(), focusBefore);
    EXPECT_EQ(keyboardTaken, 1);
    panel->orderOut();
    EXPECT_EQ(keyboardReleased, 1);
    settle();
    EXPECT_FALSE(mapped(window()));
}

TEST_F(PanelSurfaceTest, HidingOverManyWindowsWaitsForTheWindowManagerToAnnounceTheActivation) {
    xcb_connection_t* c = qtConnection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_atom_t active = atom->atom;
    std::free(atom);
    const xcb_window_t chosen = 0x1234567;
    showRows(20, 1);
    panel->orderOut();
    surfaces.activationRequested(chosen);
    settle();
    EXPECT_TRUE(mapped(window()));
    // The pointer is already with the windows beneath, as if the panel had gone.
    EXPECT_FALSE(takesPointer(window()));
    // The window manager says which window is active now.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, active, XCB_ATOM_WINDOW, 32, 1, &chosen);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mapped(window()); }, 5000));

    // Asked to activate the window that is active already, it hides at once.
    showRows(20, 1);
    sync();
    EXPECT_TRUE(takesPointer(window()));
    panel->orderOut();
    surfaces.activationRequested(chosen);
    settle();
    EXPECT_FALSE(mapped(window()));
    // A window manager that never answers holds it up only briefly.
    showRows(20, 1);
    panel->orderOut();
    surfaces.activationRequested(chosen + 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mapped(window()); }, 5000));
    // Over a few windows it goes at once.
    showRows(3, 1);
    panel->orderOut();
    surfaces.activationRequested(chosen + 1);
    sync();
    EXPECT_FALSE(mapped(window()));
    xcb_delete_property(c, root, active);
    sync();
}

TEST_F(PanelSurfaceTest, TheWholePictureIsOnTheScreenWithTheMapAndChangesFollow) {
    showRows(3, 1);
    // Nothing is handled in between: what the server holds after one round trip is what a
    // user sees first.
    sync();
    QImage shot = grabScreen(window());
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixel(insideHighlight(1)), accent());
    EXPECT_NE(shot.pixel(insideHighlight(0)), accent());
    EXPECT_NE(shot.pixel(insideHighlight(2)), accent());
    // The highlight is inset 7 from the row's ends and 3 from its edges.
    EXPECT_NE(shot.pixel(6 + 3, 6 + 38 + 19), accent());
    EXPECT_NE(shot.pixel(6 + 300, 6 + 38 + 1), accent());
    // Opaque without a compositor, the corners cut away.
    EXPECT_EQ(depth(window()), 24);

    panel->selectRowIndexes(2, false);
    settle();
    shot = grabScreen(window());
    EXPECT_EQ(panel->selectedRow(), 2);
    EXPECT_NE(shot.pixel(insideHighlight(1)), accent());
    EXPECT_EQ(shot.pixel(insideHighlight(2)), accent());

    // Hidden, then shown with other rows: the first picture is the new one.
    panel->orderOut();
    settle();
    showRows(5, 3);
    sync();
    shot = grabScreen(window());
    EXPECT_EQ(shot.height(), 5 * 38 + 12);
    EXPECT_EQ(shot.pixel(insideHighlight(3)), accent());
    EXPECT_NE(shot.pixel(insideHighlight(2)), accent());
}

TEST_F(PanelSurfaceTest, ClickSelectsTheRowAndReportsItAndEmptySpaceKeepsTheSelection) {
    showRows(3, 0);
    click(window(), {300, 6 + 2 * 38 + 10});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows.clicks == 1; }, 5000));
    EXPECT_EQ(panel->clickedRow(), 2);
    EXPECT_EQ(panel->selectedRow(), 2);

    click(window(), {300, 3});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows.clicks == 2; }, 5000));
    EXPECT_EQ(panel->clickedRow(), -1);
    EXPECT_EQ(panel->selectedRow(), 2);
}

TEST_F(PanelSurfaceTest, UsesA32BitVisualOnlyWhileACompositorRuns) {
    showRows(2, 0);
    sync();
    ASSERT_EQ(depth(window()), 24);

    ChildProcess compositor = ChildProcess::start({"xcompmgr"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return depth(window()) == 32; }, 5000));
    EXPECT_TRUE(mapped(window()));
    EXPECT_EQ(shownPanel(), window());
    EXPECT_EQ(panel->frame(), (Rect{{490.0, 449.0}, {620.0, 88.0}}));

    compositor.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return depth(window()) == 24; }, 5000));
    EXPECT_TRUE(mapped(window()));
    EXPECT_EQ(shownPanel(), window());
}

}  // namespace
}  // namespace tavrel::qt::test
