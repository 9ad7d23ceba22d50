#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/RunningApplications.h"

namespace tavrel::desktop {
class DesktopEntries;
}

namespace tavrel::wayland {

class ForeignToplevels;
struct Toplevel;

// Looks up an icon of the desktop's icon theme by name and size in pixels; null if none.
using ThemeIconLoader = std::function<Image(const std::string& iconName, int pixelSize)>;

// The application of each window (see processIdOf): named by the desktop entry its app_id
// matches, else by the app_id; its icon from the entry's icon name, else the app_id, in the
// icon theme. A window without an app_id is named by its process, as sway tells it: the
// desktop entry of its executable, else its command name. Looked up once per app_id (or
// executable), icons loaded on first use.
class WaylandApplications final : public RunningApplications {
  public:
    WaylandApplications(ForeignToplevels& toplevels, desktop::DesktopEntries& entries)
        : toplevels_(toplevels), entries_(entries) {}

    std::shared_ptr<RunningApplication> runningApplicationWithProcessIdentifier(
        std::int32_t pid) override;

    void setThemeIconLoader(ThemeIconLoader loader) { themeIcons_ = std::move(loader); }
    void setIconPixels(int pixels) { iconPixels_ = pixels; }

    struct Facts {
        std::optional<std::string> name;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> themeIconName;
        std::optional<Image> icon;  // once loaded
    };

  private:
    Facts& factsOf(const Toplevel& toplevel);

    ForeignToplevels& toplevels_;
    desktop::DesktopEntries& entries_;
    ThemeIconLoader themeIcons_;
    int iconPixels_ = 22;
    std::map<std::string, Facts> facts_;
};

}  // namespace tavrel::wayland
