#pragma once
#include <QSizeF>

#include "platform/PanelSurface.h"
#include "platform/qt/LabelPainter.h"

class QPainter;

namespace tavrel::qt {

class IconPixmapCache;

// Paints one row the way the core describes it: the selection highlight, then the application
// name, icon and window title with the cell's metrics, fonts, truncation and colours.
class RowPainter {
  public:
    RowPainter(PanelDataSource& dataSource, IconPixmapCache& icons);

    // Into `painter`, whose origin is the row's top-left corner.
    void paint(QPainter& painter, QSizeF row, const RowCell& cell, bool selected);

  private:
    void paintHighlight(QPainter& painter, QSizeF row, bool selected);
    void paintCell(QPainter& painter, QSizeF row, const RowCell& cell,
                   const RowCellAppearance& appearance);
    void paintIcon(QPainter& painter, QSizeF row, const Image& icon, double x, double box);

    PanelDataSource& dataSource_;
    IconPixmapCache& icons_;
    LabelPainter labels_;
};

}  // namespace tavrel::qt
