#pragma once
#include <QFont>
#include <QStaticText>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/PanelSurface.h"

class QPainter;
class QRectF;

namespace tavrel::qt {

// Draws one-line labels with the core's label styles. The same windows come back at every
// switch, so each text is cut to its width and laid out once and then only redrawn.
class LabelPainter {
  public:
    // `text` in `frame`, centred vertically, aligned and truncated as `style` says.
    void paint(QPainter& painter, const QRectF& frame, const std::string& text,
               const LabelStyle& style);

  private:
    const QFont& font(const Font& font);
    const QStaticText& layout(const std::string& text, const QFont& font, const LabelStyle& style,
                              double width);

    std::map<std::pair<double, FontWeight>, QFont> fonts_;
    std::unordered_map<std::string, QStaticText> layouts_;
};

}  // namespace tavrel::qt
