#pragma once
#include <QAbstractItemDelegate>
#include <functional>

#include "platform/PanelSurface.h"
#include "platform/qt/LabelPainter.h"

namespace tavrel::qt {

class IconPixmapCache;

// Paints one row the way the core describes it: the selection highlight, then the application
// name, icon and window title with the cell's metrics, fonts, truncation and colours.
class PanelRowDelegate final : public QAbstractItemDelegate {
    Q_OBJECT
  public:
    PanelRowDelegate(PanelDataSource& dataSource, IconPixmapCache& icons, double rowHeight,
                     std::function<bool(int row)> isSelected, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    void paintHighlight(QPainter& painter, QSizeF row, bool selected) const;
    void paintCell(QPainter& painter, QSizeF row, const RowCell& cell,
                   const RowCellAppearance& appearance) const;
    void paintIcon(QPainter& painter, QSizeF row, const Image& icon, double x, double box) const;

    PanelDataSource& dataSource_;
    IconPixmapCache& icons_;
    double rowHeight_;
    std::function<bool(int row)> isSelected_;
    mutable LabelPainter labels_;  // a cache: painting is const to Qt
};

}  // namespace tavrel::qt
