#pragma once
#include "platform/StatusBar.h"

namespace tavrel::qt {

// The desktop's system tray.
class QtStatusBar final : public StatusBar {
  public:
    // The item has a button wherever a tray host can show up, now or later.
    std::unique_ptr<StatusItem> statusItemWithLength(double length) override;
    // Only the symbols the project drew itself exist.
    std::optional<SymbolImage> imageWithSystemSymbolName(
        const std::string& name, const std::string& accessibilityDescription) override;
};

}  // namespace tavrel::qt
