#pragma once
#include <optional>

#include "platform/PanelSurface.h"

namespace tavrel {

// A table row: draws the selection as an inset rounded rectangle in the accent colour and
// tells its cells whether they sit on that highlight.
class SidebarRowView {
  public:
    // Shared by every row; the panel writes its own selection metrics here when it is built.
    static inline double insetX = 7.0;
    static inline double insetY = 3.0;
    static inline double radius = 8.0;

    // Nothing for an unselected row: the panel's background shows through.
    static std::optional<RoundedRect> drawSelection(Rect bounds, bool selected);
    static BackgroundStyle interiorBackgroundStyle(bool selected);
};

// A table cell: the application's name right-aligned in a fixed column, its icon, then the
// window's title, on one line.
class RowCellView {
  public:
    static constexpr double leadingMargin = 16.0;
    static constexpr double nameWidth = 220.0;
    static constexpr double gap = 10.0;
    static constexpr double iconSize = 22.0;
    static constexpr double trailingMargin = 16.0;
    static constexpr double fontSize = 13.0;
    static constexpr double emphasizedNameAlpha = 0.85;

    // Where the three views sit in a cell of that width and how its labels look on a row of
    // that background style.
    static RowCellAppearance appearance(double cellWidth, BackgroundStyle style);
};

}  // namespace tavrel
