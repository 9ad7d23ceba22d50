#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tavrel::e2e {

class Session;

// How a window manager, with its default settings, treats Super+Tab.
enum class SuperTab {
    free,        // nobody holds it
    held,        // the window manager grabs it: tavrel's grab is refused
    takenFirst,  // the window manager grabs Super itself: tavrel's grab never fires
};

// One window manager as a user meets it, and what the README says to do about it.
struct WindowManagerCase {
    std::string name;  // the command that starts it
    SuperTab superTab;
    std::string holds;        // what the log names as taking the key
    std::string freeCommand;  // the README's command that frees it (WM_PID: its process)
    bool stacks;              // its windows overlap: the chosen one must come to the top
};

std::string caseName(const ::testing::TestParamInfo<WindowManagerCase>& info);
void PrintTo(const WindowManagerCase& wm, std::ostream* out);

// tavrel on a desktop run by one window manager: the log says what keeps Super+Tab away,
// freeing it while tavrel runs makes Super+Tab work, and then the switcher goes to the most
// recently active windows in turn, focusing and raising each.
class WindowManagerTest : public ::testing::TestWithParam<WindowManagerCase> {
  protected:
    // Runs the whole check; on a failure, what tavrel logged is shown with it.
    void checkTheDesktop();

  private:
    void check(Session& session);
};

}  // namespace tavrel::e2e
