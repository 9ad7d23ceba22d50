#include "platform/qt/PanelRowDelegate.h"

#include <QPaintDevice>
#include <QPainter>
#include <cmath>

#include "platform/qt/IconPixmapCache.h"
#include "platform/qt/SystemColors.h"

namespace tavrel::qt {

PanelRowDelegate::PanelRowDelegate(PanelDataSource& dataSource, IconPixmapCache& icons,
                                   double rowHeight, std::function<bool(int row)> isSelected,
                                   QObject* parent)
    : QAbstractItemDelegate(parent),
      dataSource_(dataSource),
      icons_(icons),
      rowHeight_(rowHeight),
      isSelected_(std::move(isSelected)) {}

QSize PanelRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), static_cast<int>(std::lround(rowHeight_))};
}

void PanelRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = isSelected_(index.row());
    const QSizeF row = option.rect.size();
    painter->save();
    painter->translate(option.rect.topLeft());
    painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                            QPainter::SmoothPixmapTransform);
    paintHighlight(*painter, row, selected);
    if (const std::optional<RowCell> cell = dataSource_.cellForRow(index.row())) {
        const BackgroundStyle style = dataSource_.interiorBackgroundStyle(selected);
        paintCell(*painter, row, *cell, dataSource_.cellAppearance(row.width(), style));
    }
    painter->restore();
}

void PanelRowDelegate::paintHighlight(QPainter& painter, QSizeF row, bool selected) const {
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

void PanelRowDelegate::paintCell(QPainter& painter, QSizeF row, const RowCell& cell,
                                 const RowCellAppearance& appearance) const {
    labels_.paint(painter, {appearance.nameX, 0, appearance.nameWidth, row.height()}, cell.appName,
                  appearance.name);
    paintIcon(painter, row, cell.icon, appearance.iconX, appearance.iconSize);
    labels_.paint(painter, {appearance.titleX, 0, appearance.titleWidth, row.height()}, cell.title,
                  appearance.title);
}

void PanelRowDelegate::paintIcon(QPainter& painter, QSizeF row, const Image& icon, double x,
                                 double box) const {
    const QPixmap pixmap = icons_.pixmap(icon, box, painter.device()->devicePixelRatioF());
    if (pixmap.isNull())
        return;
    const QSizeF size = pixmap.deviceIndependentSize();
    const QPointF topLeft(x + (box - size.width()) * 0.5, (row.height() - size.height()) * 0.5);
    painter.drawPixmap(QRectF(topLeft, size), pixmap, QRectF(pixmap.rect()));
}

}  // namespace tavrel::qt
