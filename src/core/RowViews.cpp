#include "core/RowViews.h"

#include <algorithm>

namespace tavrel {

std::optional<RoundedRect> SidebarRowView::drawSelection(Rect bounds, bool selected) {
    if (!selected)
        return std::nullopt;
    return RoundedRect{bounds.insetBy(insetX, insetY), radius, Colour{SystemColor::accent}};
}

BackgroundStyle SidebarRowView::interiorBackgroundStyle(bool selected) {
    return selected ? BackgroundStyle::emphasized : BackgroundStyle::normal;
}

RowCellAppearance RowCellView::appearance(double cellWidth, BackgroundStyle style) {
    // On the accent highlight both labels turn white; on anything else (raised and lowered
    // included) they keep the colours a never-selected cell has.
    const bool emphasized = style == BackgroundStyle::emphasized;
    const Colour nameColour = emphasized ? Colour{SystemColor::white, emphasizedNameAlpha}
                                         : Colour{SystemColor::secondaryLabel};
    const Colour titleColour = emphasized ? Colour{SystemColor::white} : Colour{SystemColor::label};
    const Font font{fontSize, FontWeight::regular};

    RowCellAppearance cell;
    cell.nameX = leadingMargin;
    cell.nameWidth = nameWidth;
    cell.name = {font, nameColour, TextAlignment::right, LineBreakMode::truncatingHead, 1};
    cell.iconX = cell.nameX + nameWidth + gap;
    cell.iconSize = iconSize;
    cell.titleX = cell.iconX + iconSize + gap;
    cell.titleWidth = std::max(0.0, cellWidth - cell.titleX - trailingMargin);
    cell.title = {font, titleColour, TextAlignment::left, LineBreakMode::truncatingTail, 1};
    return cell;
}

}  // namespace tavrel
