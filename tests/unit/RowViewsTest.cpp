#include "core/RowViews.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

class RowViewsTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SidebarRowView::insetX = 7.0;
        SidebarRowView::insetY = 3.0;
        SidebarRowView::radius = 8.0;
    }
    const Rect row{{0, 76}, {608, 38}};
};

TEST_F(RowViewsTest, HighlightIsTheInsetRoundedRectOfASelectedRowOnly) {
    EXPECT_EQ(SidebarRowView::drawSelection(row, false), std::nullopt);
    EXPECT_EQ(SidebarRowView::drawSelection(row, true),
              (RoundedRect{{{7, 79}, {594, 32}}, 8, Colour{SystemColor::accent, 1.0}}));

    SidebarRowView::insetX = 0;
    SidebarRowView::insetY = 1;
    SidebarRowView::radius = 4;
    EXPECT_EQ(SidebarRowView::drawSelection(row, true)->rect, (Rect{{0, 77}, {608, 36}}));
    EXPECT_EQ(SidebarRowView::drawSelection(row, true)->radius, 4);
}

TEST_F(RowViewsTest, InteriorIsEmphasizedExactlyWhileSelected) {
    EXPECT_EQ(SidebarRowView::interiorBackgroundStyle(true), BackgroundStyle::emphasized);
    EXPECT_EQ(SidebarRowView::interiorBackgroundStyle(false), BackgroundStyle::normal);
}

TEST_F(RowViewsTest, CellLaysOutNameIconAndTitleOnOneLine) {
    const RowCellAppearance cell = RowCellView::appearance(608, BackgroundStyle::normal);
    EXPECT_EQ(cell.nameX, 16);
    EXPECT_EQ(cell.nameWidth, 220);
    EXPECT_EQ(cell.iconX, 246);
    EXPECT_EQ(cell.iconSize, 22);
    EXPECT_EQ(cell.titleX, 278);
    EXPECT_EQ(cell.titleWidth, 314);
    EXPECT_EQ(cell.name.alignment, TextAlignment::right);
    EXPECT_EQ(cell.name.lineBreak, LineBreakMode::truncatingHead);
    EXPECT_EQ(cell.title.alignment, TextAlignment::left);
    EXPECT_EQ(cell.title.lineBreak, LineBreakMode::truncatingTail);
    for (const LabelStyle& label : {cell.name, cell.title}) {
        EXPECT_EQ(label.font, (Font{13, FontWeight::regular}));
        EXPECT_EQ(label.maximumNumberOfLines, 1);
    }
    EXPECT_EQ(RowCellView::appearance(100, BackgroundStyle::normal).titleWidth, 0)
        << "a narrow cell squeezes the title away, never below nothing";
}

TEST_F(RowViewsTest, OnlyTheEmphasizedStyleTurnsTheLabelsWhite) {
    const auto selected = RowCellView::appearance(608, BackgroundStyle::emphasized);
    EXPECT_EQ(selected.title.colour, (Colour{SystemColor::white, 1.0}));
    EXPECT_EQ(selected.name.colour, (Colour{SystemColor::white, 0.85}));
    for (const auto style :
         {BackgroundStyle::normal, BackgroundStyle::raised, BackgroundStyle::lowered}) {
        const auto cell = RowCellView::appearance(608, style);
        EXPECT_EQ(cell.title.colour, (Colour{SystemColor::label, 1.0}));
        EXPECT_EQ(cell.name.colour, (Colour{SystemColor::secondaryLabel, 1.0}));
    }
}

}  // namespace
}  // namespace tavrel
