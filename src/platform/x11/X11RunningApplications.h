#pragma once
#include <memory>

#include "platform/RunningApplications.h"
#include "platform/desktop/DesktopEntries.h"
#include "platform/x11/X11RunningApplication.h"

namespace tavrel::x11 {

class X11WindowList;
struct ClientWindow;

// Running applications by process id: a process that runs or windows that claim the pid,
// described by their desktop entry, their windows' class and icon, or the command name.
class X11RunningApplications final : public RunningApplications {
  public:
    X11RunningApplications(X11WindowList& windows, X11Connection& connection,
                           desktop::DesktopEntries& entries);

    std::shared_ptr<RunningApplication> runningApplicationWithProcessIdentifier(
        std::int32_t pid) override;

    void setThemeIconLoader(ThemeIconLoader loader) { themeIcons_ = std::move(loader); }
    // Icons are chosen for this many pixels on a side.
    void setIconPixels(int pixels) { iconPixels_ = pixels; }

  private:
    // What the application's front-most listed window says of it, if it has one.
    struct WindowClass {
        std::optional<std::string> className;
        std::optional<std::string> instanceName;
        xcb_window_t id = XCB_WINDOW_NONE;
    };

    const ClientWindow* firstWindowOf(std::int32_t pid);
    ApplicationFacts factsOf(std::int32_t pid, const WindowClass& window);

    X11WindowList& windows_;
    X11Connection& connection_;
    desktop::DesktopEntries& entries_;
    ThemeIconLoader themeIcons_;
    int iconPixels_ = 22;
};

}  // namespace tavrel::x11
