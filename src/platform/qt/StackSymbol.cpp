#include "platform/qt/StackSymbol.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace tavrel::qt {
namespace {
// Drawn on a 24-unit grid: back card, middle card, front card.
struct Card {
    QRectF rect;
    double radius;
};
constexpr std::array kCards{
    Card{{7.0, 3.0, 10.0, 2.5}, 1.25},
    Card{{5.0, 6.5, 14.0, 2.5}, 1.25},
    Card{{3.0, 10.0, 18.0, 11.0}, 2.5},
};

QPixmap render(int size, const QColor& colour) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (const Card& card : kCards)
        painter.drawRoundedRect(card.rect, card.radius, card.radius);
    return pixmap;
}
}  // namespace

QIcon StackSymbol::icon(const QColor& colour) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(render(size, colour));
    return icon;
}

}  // namespace tavrel::qt
