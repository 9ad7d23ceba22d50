// Tiling window managers, each with its default settings: their windows do not overlap, and
// their stacking lists do not follow focus.
#include "WindowManagerSuite.h"

namespace tavrel::e2e {
namespace {

class TilingWindowManagersTest : public WindowManagerTest {};

TEST_P(TilingWindowManagersTest, SaysWhatTakesSuperTabAndSwitchesOnceItIsFree) {
    checkTheDesktop();
}

INSTANTIATE_TEST_SUITE_P(
    Debian, TilingWindowManagersTest,
    ::testing::Values(WindowManagerCase{"i3", SuperTab::free, "", "", false},
                      WindowManagerCase{
                          "awesome", SuperTab::held, "rc.lua binds Mod4+Tab",
                          "mkdir -p ~/.config/awesome && sed '/awful.key({ modkey,           }, "
                          "\"Tab\",/,/\"go back\"/d' /etc/xdg/awesome/rc.lua > "
                          "~/.config/awesome/rc.lua && kill -HUP $WM_PID",
                          false}),
    caseName);

}  // namespace
}  // namespace tavrel::e2e
