#pragma once
#include "platform/Application.h"

namespace tavrel::qt {

// On X11 the switcher needs no permission, only its shortcut: the "settings link" opens the
// desktop's keyboard-shortcut settings, where one of the known settings programs is installed.
class QtWorkspace final : public Workspace {
  public:
    // "tavrel-settings:PROGRAM[/PANE]", or empty without a known settings program.
    std::string accessibilitySettingsLink() override;
    // A tavrel-settings link starts that installed program detached; any other URL goes to
    // the desktop's URL handler.
    bool openURL(const std::string& url) override;
};

}  // namespace tavrel::qt
