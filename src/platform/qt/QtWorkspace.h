#pragma once
#include "platform/Application.h"

namespace tavrel::qt {

// On X11 the switcher needs no permission, only its shortcut: the "settings link" is the command
// line of the desktop's keyboard-shortcut settings, where one of the known programs is installed.
class QtWorkspace final : public Workspace {
  public:
    std::string accessibilitySettingsLink() override;
    // A URL with a scheme goes to the desktop's URL handler; anything else is taken as the
    // command line of an installed program and started detached.
    bool openURL(const std::string& url) override;
};

}  // namespace tavrel::qt
