#include "platform/qt/StackSymbol.h"

#include <QPainter>
#include <QPen>
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

// The rim's pen, in grid units: half of it shows outside each card, about a pixel at the usual
// tray sizes.
constexpr double kOutlineWidth = 2.0;

QPixmap render(int size, const QColor& colour, const std::optional<QColor>& outline) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    if (outline) {
        // Stroked under the fill, so half of the pen shows outside every card.
        painter.setPen(QPen(*outline, kOutlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        for (const Card& card : kCards)
            painter.drawRoundedRect(card.rect, card.radius, card.radius);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (const Card& card : kCards)
        painter.drawRoundedRect(card.rect, card.radius, card.radius);
    return pixmap;
}
}  // namespace

QIcon StackSymbol::icon(const QColor& colour, std::optional<QColor> outline) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(render(size, colour, outline));
    return icon;
}

QColor StackSymbol::contrastingOutline(const QColor& colour) {
    return colour.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
}

}  // namespace tavrel::qt
