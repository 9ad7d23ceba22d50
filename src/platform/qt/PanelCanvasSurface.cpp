#include "platform/qt/PanelCanvasSurface.h"

namespace tavrel::qt {

PanelCanvasSurface::PanelCanvasSurface(const PanelContentLayout& layout, QSizeF initialSize,
                                       PanelDataSource& dataSource, IconPixmapCache& icons)
    : canvas_(layout, initialSize, dataSource, icons) {}

void PanelCanvasSurface::selectRowIndexes(std::int64_t row, bool /*single selection*/) {
    canvas_.selectRow(row);
}

void PanelCanvasSurface::scrollRowToVisible(std::int64_t row) {
    canvas_.scrollRowToVisible(row);
}

void PanelCanvasSurface::reloadData() {
    canvas_.reloadData();
}

std::int64_t PanelCanvasSurface::selectedRow() {
    return canvas_.selectedRow();
}

std::int64_t PanelCanvasSurface::clickedRow() {
    return canvas_.clickedRow();
}

void PanelCanvasSurface::setSearchLabelHidden(bool hidden) {
    canvas_.setSearchLabelHidden(hidden);
}

void PanelCanvasSurface::setSearchLabelText(const std::string& text) {
    canvas_.setSearchLabelText(text);
}

void PanelCanvasSurface::setScrollViewFrame(Rect frame) {
    canvas_.setScrollViewFrame(frame);
}

}  // namespace tavrel::qt
