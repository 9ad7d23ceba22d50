#pragma once
#include <QColor>
#include <QIcon>
#include <optional>

namespace tavrel::qt {

// The project's own artwork for the "rectangle.stack.fill" symbol: a filled card with two
// narrower cards stacked behind it, in one colour so it reads like a template image.
class StackSymbol {
  public:
    static constexpr const char* kSymbolName = "rectangle.stack.fill";
    // Rendered at the sizes trays ask for. With an outline colour every card gets a rim of it,
    // so that the symbol reads on a tray of any colour.
    static QIcon icon(const QColor& colour, std::optional<QColor> outline = std::nullopt);
    // A rim that stands out from `colour`: white around dark colours, black around light ones.
    static QColor contrastingOutline(const QColor& colour);
};

}  // namespace tavrel::qt
