#include "platform/qt/QtStatusBar.h"

#include "platform/qt/QtStatusItem.h"
#include "platform/qt/StackSymbol.h"
#include "platform/qt/TrayHostWatch.h"

namespace tavrel::qt {

std::unique_ptr<StatusItem> QtStatusBar::statusItemWithLength(double /*length: trays size it*/) {
    return std::make_unique<QtStatusItem>(std::make_unique<TrayHostWatch>());
}

std::optional<SymbolImage> QtStatusBar::imageWithSystemSymbolName(
    const std::string& name, const std::string& accessibilityDescription) {
    if (name != StackSymbol::kSymbolName)
        return std::nullopt;
    return SymbolImage{name, accessibilityDescription, false};
}

}  // namespace tavrel::qt
