#include "TestRows.h"

namespace tavrel::qt::test {

std::optional<RowCell> TestRows::cellForRow(std::int64_t row) {
    if (row < 0 || row >= numberOfRows())
        return std::nullopt;
    return cells[static_cast<std::size_t>(row)];
}

std::optional<RoundedRect> TestRows::selectionHighlight(Rect rowBounds, bool selected) {
    if (!selected)
        return std::nullopt;
    return RoundedRect{rowBounds.insetBy(7.0, 3.0), 8.0, {SystemColor::accent, 1.0}};
}

BackgroundStyle TestRows::interiorBackgroundStyle(bool selected) {
    return selected ? BackgroundStyle::emphasized : BackgroundStyle::normal;
}

RowCellAppearance TestRows::cellAppearance(double cellWidth, BackgroundStyle style) {
    const bool emphasized = style == BackgroundStyle::emphasized;
    RowCellAppearance appearance;
    appearance.nameX = 16.0;
    appearance.nameWidth = 220.0;
    appearance.name = {
        {13.0, FontWeight::regular},
        emphasized ? Colour{SystemColor::white, 0.85} : Colour{SystemColor::secondaryLabel, 1.0},
        TextAlignment::right,
        LineBreakMode::truncatingHead,
        1};
    appearance.iconX = 246.0;
    appearance.iconSize = 22.0;
    appearance.titleX = 278.0;
    appearance.titleWidth = cellWidth - 278.0 - 16.0;
    appearance.title = {
        {13.0, FontWeight::regular},
        emphasized ? Colour{SystemColor::white, 1.0} : Colour{SystemColor::label, 1.0},
        TextAlignment::left,
        LineBreakMode::truncatingTail,
        1};
    return appearance;
}

PanelWindowStyle switcherStyle() {
    PanelWindowStyle style;
    style.contentRect = {{0, 0}, {620.0, 600.0}};
    return style;
}

PanelContentLayout switcherLayout() {
    PanelContentLayout layout;
    layout.cornerRadius = 10.0;
    layout.borderWidth = 1.0;
    layout.borderColour = {SystemColor::separator, 0.35};
    layout.searchLabelFrame = {{14.0, 600.0 - 26.0}, {592.0, 18.0}};
    layout.searchLabel = {{11.0, FontWeight::medium},
                          {SystemColor::tertiaryLabel, 1.0},
                          TextAlignment::natural,
                          LineBreakMode::truncatingTail,
                          1};
    layout.scrollInset = 6.0;
    layout.rowHeight = 38.0;
    layout.columnWidth = 608.0;
    return layout;
}

Image solidIcon(int width, int height, std::uint32_t argb) {
    auto image = std::make_shared<IconImage>();
    image->width = width;
    image->height = height;
    image->argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), argb);
    return image;
}

}  // namespace tavrel::qt::test
