#pragma once
#include <QColor>
#include <QFont>

#include "platform/PanelSurface.h"

namespace tavrel::qt {

// The core's colour roles and fonts in the desktop's palette and font.
class SystemColors {
  public:
    static QColor color(const Colour& colour);
    // The system font at a size in points, which are Qt's device-independent pixels.
    static QFont font(const Font& font);
};

}  // namespace tavrel::qt
