#include "platform/x11/X11RunningApplication.h"

#include <vector>

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HintsIcon.h"
#include "platform/x11/X11Icon.h"
#include "platform/x11/X11Property.h"

namespace tavrel::x11 {
namespace {

// 4 MiB: room for every size an application sensibly offers, and no more.
constexpr std::uint32_t kMaxIconItems = 1 << 20;

}  // namespace

X11RunningApplication::X11RunningApplication(FactsSource learnFacts, X11Connection& connection,
                                             const ThemeIconLoader& themeIcons, int iconPixels)
    : learnFacts_(std::move(learnFacts)),
      connection_(connection),
      themeIcons_(themeIcons),
      iconPixels_(iconPixels) {}

const ApplicationFacts& X11RunningApplication::facts() {
    if (!facts_)
        facts_ = learnFacts_ ? learnFacts_() : ApplicationFacts{};
    return *facts_;
}

// The window's own full-colour icon first, then the theme's drawing of the name its desktop
// entry (or class) gives, and only then the pixmap an old client names in WM_HINTS: such
// pixmaps are small and often a single colour, and a client that has a theme icon (xterm)
// sets one all the same.
Image X11RunningApplication::icon() {
    if (!icon_) {
        Image image = windowIcon();
        if (!image && themeIcons_ && facts().themeIconName)
            image = themeIcons_(*facts().themeIconName, iconPixels_);
        if (!image && facts().iconWindow != XCB_WINDOW_NONE)
            image = readHintsIcon(connection_, facts().iconWindow);
        icon_ = image;
    }
    return *icon_;
}

Image X11RunningApplication::windowIcon() {
    if (facts().iconWindow == XCB_WINDOW_NONE)
        return nullptr;
    xcb_connection_t* c = connection_.get();
    const auto property =
        X11Property::read(c, X11Property::request(c, facts().iconWindow,
                                                  connection_.atoms()._NET_WM_ICON, kMaxIconItems));
    if (!property)
        return nullptr;
    const std::vector<std::uint32_t> data = property->cardinals(XCB_ATOM_CARDINAL);
    return decodeNetWmIcon(data, static_cast<std::uint32_t>(iconPixels_));
}

}  // namespace tavrel::x11
