// Stacking window managers as Debian ships them, each with its default settings.
#include "WindowManagerSuite.h"

namespace tavrel::e2e {
namespace {

class StackingWindowManagersTest : public WindowManagerTest {};

TEST_P(StackingWindowManagersTest, SaysWhatTakesSuperTabAndSwitchesOnceItIsFree) {
    checkTheDesktop();
}

INSTANTIATE_TEST_SUITE_P(
    Debian, StackingWindowManagersTest,
    ::testing::Values(
        WindowManagerCase{"openbox", SuperTab::free, "", "", true},
        WindowManagerCase{
            "xfwm4", SuperTab::held, "/xfwm4/custom/<Super>Tab",
            "xfconf-query -c xfce4-keyboard-shortcuts -p '/xfwm4/custom/<Super>Tab' -r", true},
        // Its stacking list stays in the order the windows came. It reloads its keys only when
        // the file's change time, in whole seconds, differs from the one it loaded: a person
        // edits it later than the second fluxbox started in.
        WindowManagerCase{"fluxbox", SuperTab::held, "Mod4 Tab :NextTab",
                          "while [ $(stat -c %Z ~/.fluxbox/keys) -ge $(date +%s) ]; do sleep 0.1; "
                          "done; sed -i '/^Mod4 Tab /d; /^Mod4 Shift Tab /d' ~/.fluxbox/keys && "
                          "kill -USR2 $WM_PID",
                          true},
        WindowManagerCase{"icewm", SuperTab::takenFirst, "Win95Keys",
                          "mkdir -p ~/.icewm && echo Win95Keys=0 >> ~/.icewm/preferences && "
                          "icewm -r",
                          true}),
    caseName);

}  // namespace
}  // namespace tavrel::e2e
