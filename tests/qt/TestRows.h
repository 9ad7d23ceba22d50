#pragma once
#include <vector>

#include "platform/PanelSurface.h"

namespace tavrel::qt::test {

// A data source with the switcher's own metrics, standing in for the core's panel.
class TestRows final : public PanelDataSource {
  public:
    std::int64_t numberOfRows() override { return static_cast<std::int64_t>(cells.size()); }
    std::optional<RowCell> cellForRow(std::int64_t row) override;
    void rowClicked() override { ++clicks; }
    std::optional<RoundedRect> selectionHighlight(Rect rowBounds, bool selected) override;
    BackgroundStyle interiorBackgroundStyle(bool selected) override;
    RowCellAppearance cellAppearance(double cellWidth, BackgroundStyle style) override;

    std::vector<RowCell> cells;
    int clicks = 0;
};

// The switcher's window style and view layout, 620 by 600 points at first.
PanelWindowStyle switcherStyle();
PanelContentLayout switcherLayout();
// A square icon of one colour.
Image solidIcon(int width, int height, std::uint32_t argb);

}  // namespace tavrel::qt::test
