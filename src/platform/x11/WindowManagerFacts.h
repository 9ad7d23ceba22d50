#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::x11 {

// What tavrel knows of a window manager as Debian ships it, with its default settings: what
// of it keeps Super+Tab from other programs, how a user frees it, and whether its stacking
// list puts the window it activates in front.
struct WindowManagerFacts {
    std::string_view nameContains;   // in its _NET_WM_NAME, ignoring case
    std::string_view holdsSuperTab;  // what takes Super+Tab by default; empty: nothing does
    std::string_view toFree;         // what frees it
    bool stackingFollowsFocus;
};

// The facts about the window manager of that _NET_WM_NAME, when it is a known one.
const WindowManagerFacts* knownWindowManager(std::string_view name);

// A window manager's name as it may appear in a log line: valid UTF-8 without control
// characters, and short.
std::string printableName(std::string_view name);

// One line for a hotkey combination ("Super+Tab") another program holds, naming the window
// manager (`windowManager`: its _NET_WM_NAME; nothing without one) and what frees the key.
std::string heldKeyExplanation(std::string_view keys,
                               const std::optional<std::string>& windowManager);
// One line for Super+Tab pressed and never seen: something takes it before the grab can.
std::string unseenKeyExplanation(const std::optional<std::string>& windowManager);

}  // namespace tavrel::x11
