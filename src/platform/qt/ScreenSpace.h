#pragma once
#include <QPoint>
#include <QRect>
#include <QRectF>

#include "platform/Geometry.h"

namespace tavrel::qt {

// Converts between Qt's coordinates (y down, origin at the virtual desktop's top-left) and the
// core's points (y up, origin at the primary screen's lower-left). Qt's device-independent
// pixels are the core's points.
class ScreenSpace {
  public:
    explicit ScreenSpace(QRect primaryGeometry) : primary_(primaryGeometry) {}
    // Measured against the primary screen as it is now (screens come and go).
    static ScreenSpace current();

    Rect toPoints(const QRectF& rect) const;
    QRect toQt(const Rect& rect) const;
    // A pointer position names a pixel; its point is that pixel's lower-left corner, so the
    // pointer on a screen's top row still lies inside that screen's half-open frame.
    Point pointerToPoints(QPoint pixel) const;

  private:
    double bottom() const { return primary_.y() + primary_.height(); }
    QRect primary_;
};

}  // namespace tavrel::qt
