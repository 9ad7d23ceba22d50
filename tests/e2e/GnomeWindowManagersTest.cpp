// The GNOME window managers and their MATE descendant, each with its default settings, kept
// in dconf behind the session's bus.
#include "WindowManagerSuite.h"

namespace tavrel::e2e {
namespace {

class GnomeWindowManagersTest : public WindowManagerTest {};

TEST_P(GnomeWindowManagersTest, SaysWhatTakesSuperTabAndSwitchesOnceItIsFree) {
    checkTheDesktop();
}

const std::string kFreeSwitchApplications =
    "gsettings set org.gnome.desktop.wm.keybindings switch-applications \"['<Alt>Tab']\" && "
    "gsettings set org.gnome.desktop.wm.keybindings switch-applications-backward "
    "\"['<Shift><Alt>Tab']\"";

INSTANTIATE_TEST_SUITE_P(
    Debian, GnomeWindowManagersTest,
    ::testing::Values(WindowManagerCase{"metacity", SuperTab::held, "switch-applications",
                                        kFreeSwitchApplications, true},
                      WindowManagerCase{"mutter", SuperTab::takenFirst, "overlay-key",
                                        "gsettings set org.gnome.mutter overlay-key '' && " +
                                            kFreeSwitchApplications,
                                        true},
                      WindowManagerCase{"marco", SuperTab::free, "", "", true}),
    caseName);

}  // namespace
}  // namespace tavrel::e2e
