#pragma once
#include <QColor>
#include <QIcon>

namespace tavrel::qt {

// The project's own artwork for the "rectangle.stack.fill" symbol: a filled card with two
// narrower cards stacked behind it, in one colour so it reads like a template image.
class StackSymbol {
  public:
    static constexpr const char* kSymbolName = "rectangle.stack.fill";
    // Rendered at the sizes trays ask for.
    static QIcon icon(const QColor& colour);
};

}  // namespace tavrel::qt
