#include "platform/qt/RowPainter.h"

#include <QPaintDevice>
#include <QPainter>

#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/SystemColors.h"

namespace tavrel::qt {

RowPainter::RowPainter(PanelDataSource& dataSource, IconPixmapCache& icons)
    : dataSource_(dataSource), icons_(icons) {}

void RowPainter::paint(QPainter& painter, QSizeF row, const RowCell& cell, bool selected) {
    paintHighlight(painter, row, selected);
    const BackgroundStyle style = dataSource_.interiorBackgroundStyle(selected);
    paintCell(painter, row, cell, dataSource_.cellAppearance(row.width(), style));
}

void RowPainter::paintHighlight(QPainter& painter, QSizeF row, bool selected) {
    const Rect bounds{{0, 0}, {row.width(), row.height()}};
    const std::optional<RoundedRect> highlight = dataSource_.selectionHighlight(bounds, selected);
    if (!highlight)
        return;
    // The row's rectangle is y-up; flip it into the painter's y-down row.
    const QRectF rect(highlight->rect.minX(), row.height() - highlight->rect.maxY(),
                      highlight->rect.size.width, highlight->rect.size.height);
    painter.setPen(Qt::NoPen);
    painter.setBrush(SystemColors::color(highlight->fill));
    painter.drawRoundedRect(rect, highlight->radius, highlight->radius);
}

void RowPainter::paintCell(QPainter& painter, QSizeF row, const RowCell& cell,
                           const RowCellAppearance& appearance) {
    labels_.paint(painter, {appearance.nameX, 0, appearance.nameWidth, row.height()}, cell.appName,
                  appearance.name);
    paintIcon(painter, row, cell.icon, appearance.iconX, appearance.iconSize);
    labels_.paint(painter, {appearance.titleX, 0, appearance.titleWidth, row.height()}, cell.title,
                  appearance.title);
}

void RowPainter::paintIcon(QPainter& painter, QSizeF row, const Image& icon, double x, double box) {
    const QPixmap pixmap = icons_.pixmap(icon, box, painter.device()->devicePixelRatioF());
    if (pixmap.isNull())
        return;
    const QSizeF size = pixmap.deviceIndependentSize();
    const QPointF topLeft(x + (box - size.width()) * 0.5, (row.height() - size.height()) * 0.5);
    painter.drawPixmap(QRectF(topLeft, size), pixmap, QRectF(pixmap.rect()));
}

}  // namespace tavrel::qt
