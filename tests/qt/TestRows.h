#pragma once
#include <vector>

#include "platform/PanelSurface.h"

namespace tavrel::qt::test {

// A data source with rows of the test's choosing, drawn with the switcher's own row metrics.
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
    // Every row asked for, in order.
    std::vector<std::int64_t> asked;
};

// A square icon of one colour.
Image solidIcon(int width, int height, std::uint32_t argb);

}  // namespace tavrel::qt::test
