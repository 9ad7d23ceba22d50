#include "platform/qt/ScreenSpace.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace tavrel::qt {

ScreenSpace ScreenSpace::current() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return ScreenSpace(primary ? primary->geometry() : QRect());
}

Rect ScreenSpace::toPoints(const QRectF& rect) const {
    return {{rect.x() - primary_.x(), bottom() - (rect.y() + rect.height())},
            {rect.width(), rect.height()}};
}

QRect ScreenSpace::toQt(const Rect& rect) const {
    const double left = rect.origin.x + primary_.x();
    const double top = bottom() - rect.maxY();
    return {static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)),
            static_cast<int>(std::lround(rect.size.width)),
            static_cast<int>(std::lround(rect.size.height))};
}

Point ScreenSpace::pointerToPoints(QPoint pixel) const {
    return {static_cast<double>(pixel.x() - primary_.x()), bottom() - pixel.y() - 1.0};
}

}  // namespace tavrel::qt
