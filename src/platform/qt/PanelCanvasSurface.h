#pragma once
#include "platform/PanelSurface.h"
#include "platform/qt/PanelCanvas.h"

namespace tavrel::qt {

// A panel whose table, search label and scroll view are a PanelCanvas: the core's calls on
// them land on the canvas, and each desktop's presenter adds the window that shows it (the
// frame, ordering in and out, the keyboard) and repaints when the canvas reports a change.
class PanelCanvasSurface : public PanelSurface {
  public:
    PanelCanvasSurface(const PanelContentLayout& layout, QSizeF initialSize,
                       PanelDataSource& dataSource, IconPixmapCache& icons);

    void selectRowIndexes(std::int64_t row, bool byExtendingSelection) override;
    void scrollRowToVisible(std::int64_t row) override;
    void reloadData() override;
    std::int64_t selectedRow() override;
    std::int64_t clickedRow() override;
    void setSearchLabelHidden(bool hidden) override;
    void setSearchLabelText(const std::string& text) override;
    void setScrollViewFrame(Rect frame) override;

    PanelCanvas& canvas() { return canvas_; }

  private:
    PanelCanvas canvas_;
};

}  // namespace tavrel::qt
