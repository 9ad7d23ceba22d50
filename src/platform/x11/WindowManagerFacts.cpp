#include "platform/x11/WindowManagerFacts.h"

#include <algorithm>
#include <cctype>

#include "platform/x11/X11Text.h"

namespace tavrel::x11 {
namespace {

constexpr std::size_t kMaxNameBytes = 80;

constexpr std::string_view kGnomeHolds =
    "its overlay-key takes the Super key itself, and it binds switch-applications and "
    "switch-applications-backward";
constexpr std::string_view kGnomeFrees =
    "gsettings set org.gnome.mutter overlay-key '', gsettings set "
    "org.gnome.desktop.wm.keybindings switch-applications \"['<Alt>Tab']\" and gsettings set "
    "org.gnome.desktop.wm.keybindings switch-applications-backward \"['<Shift><Alt>Tab']\"";

// Marco calls itself "Metacity (Marco)": it comes before Metacity.
constexpr WindowManagerFacts kKnown[] = {
    {"openbox", "", "", true},
    {"marco", "", "", true},
    {"xfwm4", "it binds /xfwm4/custom/<Super>Tab (cycles an application's windows)",
     "xfconf-query -c xfce4-keyboard-shortcuts -p '/xfwm4/custom/<Super>Tab' -r", true},
    {"metacity", "it binds switch-applications and switch-applications-backward",
     "gsettings set org.gnome.desktop.wm.keybindings switch-applications \"['<Alt>Tab']\" and "
     "gsettings set org.gnome.desktop.wm.keybindings switch-applications-backward "
     "\"['<Shift><Alt>Tab']\"",
     true},
    {"mutter", kGnomeHolds, kGnomeFrees, true},
    {"gnome shell", kGnomeHolds, kGnomeFrees, true},
    // IceWM raises a window clicked or picked from its task bar, not one a pager activates.
    {"icewm", "Win95Keys takes the Super key itself",
     "set Win95Keys=0 in ~/.icewm/preferences and restart it with icewm -r", false},
    {"fluxbox", "~/.fluxbox/keys binds Mod4 Tab :NextTab and Mod4 Shift Tab :PrevTab",
     "remove those two lines and reconfigure fluxbox (its menu, or kill -USR2 $(pidof fluxbox))",
     false},
    {"awesome", "rc.lua binds Mod4+Tab (go back to the previous client)",
     "remove that awful.key from ~/.config/awesome/rc.lua (a copy of /etc/xdg/awesome/rc.lua) "
     "and restart awesome (Mod4+Ctrl+r)",
     false},
    {"i3", "", "", false},
};

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// Who holds the key and what frees it, as far as the window manager tells.
std::string culprit(const std::optional<std::string>& windowManager) {
    if (!windowManager)
        return " (no window manager runs); free it in the program that binds it";
    const std::string name = printableName(*windowManager);
    const WindowManagerFacts* facts = knownWindowManager(*windowManager);
    if (facts == nullptr || facts->holdsSuperTab.empty())
        return " (the window manager is " + name + "); free it in the program that binds it";
    return ": the window manager " + name + " — " + std::string(facts->holdsSuperTab) +
           "; to free it: " + std::string(facts->toFree);
}

}  // namespace

const WindowManagerFacts* knownWindowManager(std::string_view name) {
    const std::string lower = lowered(name);
    for (const WindowManagerFacts& facts : kKnown) {
        if (lower.find(facts.nameContains) != std::string::npos)
            return &facts;
    }
    return nullptr;
}

std::string printableName(std::string_view name) {
    std::string text = repairUtf8(name.substr(0, kMaxNameBytes));
    // Cut in the middle of a character, the last one came out as U+FFFD: that is fine.
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = '?';
    }
    return text.empty() ? std::string("(unnamed)") : text;
}

std::string heldKeyExplanation(std::string_view keys,
                               const std::optional<std::string>& windowManager) {
    return std::string(keys) + " is held by another program" + culprit(windowManager) +
           "; tavrel takes it as soon as it is free";
}

std::string unseenKeyExplanation(const std::optional<std::string>& windowManager) {
    return "Super+Tab was pressed but never reached tavrel: another program takes it first" +
           culprit(windowManager);
}

}  // namespace tavrel::x11
