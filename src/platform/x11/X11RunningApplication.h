#pragma once
#include <xcb/xcb.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/RunningApplications.h"

namespace tavrel::x11 {

class X11Connection;

// Looks up an icon of the desktop's icon theme by name and size in pixels; null if none.
using ThemeIconLoader = std::function<Image(const std::string& iconName, int pixelSize)>;

// What an application shows of itself: its name, icon and identifier as its desktop entry
// and windows give them.
struct ApplicationFacts {
    std::optional<std::string> name;
    std::optional<std::string> bundleIdentifier;
    std::optional<std::string> themeIconName;
    xcb_window_t iconWindow = XCB_WINDOW_NONE;  // a window whose icon properties are the icon
};

// Learns an application's facts; asked at most once, and only when something needs them.
using FactsSource = std::function<ApplicationFacts()>;

// One running application of the X11 desktop.
class X11RunningApplication final : public RunningApplication {
  public:
    // `connection`, `themeIcons` and what `learnFacts` reads outlive the application.
    X11RunningApplication(FactsSource learnFacts, X11Connection& connection,
                          const ThemeIconLoader& themeIcons, int iconPixels);

    std::optional<std::string> localizedName() override { return facts().name; }
    Image icon() override;
    std::optional<std::string> bundleIdentifier() override { return facts().bundleIdentifier; }
    // X11 has no such thing as a focused application, only focused windows: the window
    // steps that follow activation do the real work. Nothing happens here, and the
    // answer says so.
    bool activateWithOptions(std::uint32_t) override { return false; }

  private:
    const ApplicationFacts& facts();
    Image windowIcon();

    FactsSource learnFacts_;
    std::optional<ApplicationFacts> facts_;
    X11Connection& connection_;
    const ThemeIconLoader& themeIcons_;
    int iconPixels_;
    std::optional<Image> icon_;
};

}  // namespace tavrel::x11
