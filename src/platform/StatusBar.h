#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrel {

inline constexpr double NSVariableStatusItemLength = -1.0;

// A system symbol image; the backend draws its own artwork for the name.
struct SymbolImage {
    std::string symbolName;
    std::string accessibilityDescription;
    bool isTemplate = false;
};

struct MenuEntry {
    enum class Kind { item, separator };
    Kind kind = Kind::item;
    std::string title;
    std::string keyEquivalent;
    std::function<void()> action;  // empty for separators
};

// One item in the desktop's status area (the tray), with its menu.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    virtual bool hasButton() = 0;
    virtual void setButtonImage(std::optional<SymbolImage> image) = 0;
    virtual bool buttonHasImage() = 0;
    virtual void setButtonImageTemplate(bool isTemplate) = 0;
    // Clicking the item opens this menu.
    virtual void setMenu(std::vector<MenuEntry> menu) = 0;
};

class StatusBar {
  public:
    virtual ~StatusBar() = default;
    virtual std::unique_ptr<StatusItem> statusItemWithLength(double length) = 0;
    virtual std::optional<SymbolImage> imageWithSystemSymbolName(
        const std::string& name, const std::string& accessibilityDescription) = 0;
};

}  // namespace tavrel
