#pragma once
#include <QListView>
#include <cstdint>

#include "platform/PanelSurface.h"
#include "platform/qt/PanelRowDelegate.h"
#include "platform/qt/PanelRowModel.h"

class QScrollBar;

namespace tavrel::qt {

class IconPixmapCache;

// The one-column table of the panel: single selection kept here (the highlight is painted by
// the delegate, not by the style), clicks reported to the data source, and an overlay scroll
// bar that floats over the rows instead of taking width from them.
class PanelListView final : public QListView {
    Q_OBJECT
  public:
    PanelListView(PanelDataSource& dataSource, IconPixmapCache& icons, double rowHeight,
                  QWidget* parent);

    void reload();
    void selectRow(std::int64_t row);
    void scrollToRow(std::int64_t row);
    std::int64_t selectedRow() const { return selected_; }
    std::int64_t clickedRow() const { return clicked_; }
    std::int64_t rows() const { return model_.rowCount(); }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildOverlayScroller();
    void placeOverlayScroller();
    std::int64_t rowAt(QPoint position) const;

    PanelDataSource& dataSource_;
    PanelRowModel model_;
    PanelRowDelegate delegate_;
    QScrollBar* overlay_ = nullptr;  // a child: Qt owns it
    std::int64_t selected_ = -1;
    std::int64_t clicked_ = -1;
    std::int64_t pressed_ = -1;
};

}  // namespace tavrel::qt
