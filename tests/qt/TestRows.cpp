#include "TestRows.h"

#include "core/RowViews.h"

namespace tavrel::qt::test {

std::optional<RowCell> TestRows::cellForRow(std::int64_t row) {
    asked.push_back(row);
    if (row < 0 || row >= numberOfRows())
        return std::nullopt;
    return cells[static_cast<std::size_t>(row)];
}

std::optional<RoundedRect> TestRows::selectionHighlight(Rect rowBounds, bool selected) {
    return SidebarRowView::drawSelection(rowBounds, selected);
}

BackgroundStyle TestRows::interiorBackgroundStyle(bool selected) {
    return SidebarRowView::interiorBackgroundStyle(selected);
}

RowCellAppearance TestRows::cellAppearance(double cellWidth, BackgroundStyle style) {
    return RowCellView::appearance(cellWidth, style);
}

Image solidIcon(int width, int height, std::uint32_t argb) {
    auto image = std::make_shared<IconImage>();
    image->width = width;
    image->height = height;
    image->argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), argb);
    return image;
}

}  // namespace tavrel::qt::test
