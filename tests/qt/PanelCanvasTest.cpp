#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include "TestRows.h"
#include "core/SwitcherPanel.h"
#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/PanelCanvas.h"

namespace tavrel::qt::test {
namespace {

// The panel's picture painted into an image, as every desktop's presenter does.
class PanelCanvasTest : public testing::Test {
  protected:
    PanelCanvasTest() : canvas(SwitcherPanel::contentLayout(), {620.0, 600.0}, rows, icons) {
        canvas.setChangeHandler([this] { ++changes; });
    }

    // `count` rows in a panel sized for `shown` of them, as the core sizes it.
    void setRows(int count, int shown) {
        rows.cells.clear();
        for (int i = 0; i < count; ++i)
            rows.cells.push_back(
                {"App " + std::to_string(i), nullptr, "Window " + std::to_string(i)});
        const double height = shown * 38.0 + 12.0;
        canvas.setSize({620.0, height});
        canvas.setScrollViewFrame({{6.0, 6.0}, {608.0, height - 12.0}});
        canvas.reloadData();
    }

    QImage paintAll(double ratio = 1.0) {
        QImage image((canvas.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        canvas.paint(image, QRectF(QPointF(), canvas.size()));
        return image;
    }

    static QRgb accent() { return QGuiApplication::palette().color(QPalette::Highlight).rgb(); }
    static QRectF row(int index) { return {6.0, 6.0 + index * 38.0, 608.0, 38.0}; }

    TestRows rows;
    IconPixmapCache icons;
    PanelCanvas canvas;
    int changes = 0;
};

TEST_F(PanelCanvasTest, PaintsTheHighlightWithTheRowMetricsAndAsksOnlyForTheRowsInView) {
    setRows(300, 10);
    canvas.selectRow(1);
    rows.asked.clear();
    const QImage image = paintAll();
    EXPECT_EQ(rows.asked, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(image.pixel(6 + 10, 6 + 38 + 19), accent());
    EXPECT_NE(image.pixel(6 + 10, 6 + 19), accent());
    EXPECT_NE(image.pixel(6 + 10, 6 + 2 * 38 + 19), accent());
    // 7 clear at either end of the row, 3 above and below.
    EXPECT_NE(image.pixel(6 + 5, 6 + 38 + 19), accent());
    EXPECT_EQ(image.pixel(6 + 9, 6 + 38 + 19), accent());
    EXPECT_NE(image.pixel(6 + 300, 6 + 38 + 1), accent());
    EXPECT_EQ(image.pixel(6 + 300, 6 + 38 + 4), accent());
    // Twice the pixels per point: the same picture, finer.
    EXPECT_EQ(paintAll(2.0).pixel(2 * (6 + 10), 2 * (6 + 38 + 19)), accent());
}

TEST_F(PanelCanvasTest, ReportsOnlyWhatChangedSinceTheLastPaint) {
    setRows(5, 5);
    canvas.selectRow(1);
    EXPECT_EQ(canvas.changes(), QRectF(0, 0, 620, 202));
    paintAll();
    EXPECT_TRUE(canvas.changes().isEmpty());

    changes = 0;
    canvas.selectRow(3);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(canvas.changes(), row(1) | row(3));

    paintAll();
    canvas.reloadData();  // the same rows again
    EXPECT_TRUE(canvas.changes().isEmpty());
    std::swap(rows.cells[0], rows.cells[2]);
    canvas.reloadData();
    EXPECT_EQ(canvas.changes(), row(0) | row(2));

    paintAll();
    canvas.setSearchLabelText("Search: a");
    canvas.setSearchLabelHidden(false);
    EXPECT_EQ(canvas.changes(), QRectF(14, 8, 592, 18));
    canvas.setSize({620.0, 240.0});
    EXPECT_EQ(canvas.changes(), QRectF(0, 0, 620, 240));
}

TEST_F(PanelCanvasTest, ClicksHitTheRowUnderThePointerAndScrollingFollowsTheSelection) {
    setRows(30, 10);
    canvas.press({300, 6 + 2 * 38 + 10});
    canvas.release();
    EXPECT_EQ(rows.clicks, 1);
    EXPECT_EQ(canvas.clickedRow(), 2);
    EXPECT_EQ(canvas.selectedRow(), 2);
    canvas.press({300, 3});  // the margin above the rows
    canvas.release();
    EXPECT_EQ(rows.clicks, 2);
    EXPECT_EQ(canvas.clickedRow(), -1);
    EXPECT_EQ(canvas.selectedRow(), 2);

    canvas.selectRow(29);
    canvas.scrollRowToVisible(29);
    EXPECT_EQ(canvas.rowAt({300, 6 + 9 * 38 + 10}), 29);
    rows.asked.clear();
    const QImage image = paintAll();
    EXPECT_EQ(rows.asked.front(), 20);
    EXPECT_EQ(image.pixel(6 + 10, 6 + 9 * 38 + 19), accent());
    // The overlay scroller sits over the rows' right end, at the bottom of its track.
    const QRgb background = image.pixel(6 + 590, 8);
    EXPECT_NE(image.pixel(6 + 608 - 5, 6 + 10 * 38 - 10), background);
    EXPECT_EQ(image.pixel(6 + 608 - 5, 10), background);

    canvas.scrollToTop();
    EXPECT_EQ(canvas.rowAt({300, 6 + 10}), 0);
    rows.cells.resize(1);
    canvas.reloadData();
    EXPECT_EQ(canvas.selectedRow(), -1);
    EXPECT_EQ(canvas.rowAt({300, 6 + 38 + 10}), -1);
}

TEST_F(PanelCanvasTest, IconsAreConvertedOnceAndOnlyShrunk) {
    const Image large = solidIcon(512, 512, 0xff2080c0);
    const Image small = solidIcon(16, 16, 0xffc02020);
    setRows(3, 3);
    rows.cells[0].icon = large;
    rows.cells[1].icon = large;
    rows.cells[2].icon = small;
    canvas.reloadData();
    paintAll();
    const QImage image = paintAll();
    EXPECT_EQ(icons.size(), 2u);
    // 22-point box at x 246 in the cell: the large icon fills it, the small one is centred.
    EXPECT_EQ(image.pixel(6 + 246 + 1, 6 + 38 + 19), qRgb(0x20, 0x80, 0xc0));
    EXPECT_EQ(image.pixel(6 + 246 + 11, 6 + 2 * 38 + 19), qRgb(0xc0, 0x20, 0x20));
    EXPECT_NE(image.pixel(6 + 246 + 1, 6 + 2 * 38 + 19), qRgb(0xc0, 0x20, 0x20));

    EXPECT_EQ(icons.pixmap(large, 22.0, 2.0).deviceIndependentSize(), QSizeF(22.0, 22.0));
    EXPECT_EQ(icons.pixmap(large, 22.0, 2.0).width(), 44);
    EXPECT_EQ(icons.pixmap(solidIcon(64, 32, 0xff000000), 22.0, 1.0).deviceIndependentSize(),
              QSizeF(22.0, 11.0));
    auto truncated = std::make_shared<IconImage>(IconImage{64, 64, std::vector<std::uint32_t>(10)});
    EXPECT_TRUE(icons.pixmap(truncated, 22.0, 1.0).isNull());
    EXPECT_TRUE(icons.pixmap(nullptr, 22.0, 1.0).isNull());
}

TEST_F(PanelCanvasTest, TranslucentPanelsKeepTheirCornersClearAndLetTheDesktopThrough) {
    setRows(2, 2);
    EXPECT_EQ(qAlpha(paintAll().pixel(610, 30)), 255);
    canvas.setTranslucent(true);
    const QImage image = paintAll();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_LT(qAlpha(image.pixel(610, 30)), 255);
    EXPECT_GT(qAlpha(image.pixel(610, 30)), 200);
}

}  // namespace
}  // namespace tavrel::qt::test
