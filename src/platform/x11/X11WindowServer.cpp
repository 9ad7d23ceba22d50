#include "platform/x11/X11WindowServer.h"

#include <cmath>

#include "platform/x11/DesktopWatch.h"

namespace tavrel::x11 {
namespace {

// Layers as the window-info records know them: 0 is the ordinary application window.
constexpr std::int64_t kNormalLayer = 0;
constexpr std::int64_t kFloatingLayer = 3;
constexpr std::int64_t kDockLayer = 20;
constexpr std::int64_t kSplashLayer = 101;
constexpr std::int64_t kDesktopLayer = -2147483623;

std::int64_t layerOf(const ClientWindow& window) {
    switch (window.role) {
        case WindowRole::normal:
        case WindowRole::dialog:
            // Windows that ask to stay out of task lists are auxiliary: not switch targets.
            return window.skipTaskbar ? kFloatingLayer : kNormalLayer;
        case WindowRole::utility:
        case WindowRole::toolbar:
        case WindowRole::menu:
            return kFloatingLayer;
        case WindowRole::splash:
            return kSplashLayer;
        case WindowRole::dock:
            return kDockLayer;
        case WindowRole::desktop:
            return kDesktopLayer;
    }
    return kFloatingLayer;
}

bool onScreen(const ClientWindow& window) {
    return window.viewable && !window.hidden && window.onCurrentDesktop;
}

}  // namespace

void X11WindowServer::setDevicePixelRatio(double ratio) {
    if (std::isfinite(ratio) && ratio > 0)
        devicePixelRatio_ = ratio;
}

std::optional<WindowInfoList> X11WindowServer::copyWindowInfo(std::uint32_t options,
                                                              std::uint32_t) {
    auto snapshot = windows_.snapshot();
    if (!snapshot)
        return std::nullopt;
    if (order_ != nullptr)
        order_->arrange(snapshot->windows);
    const bool onScreenOnly = (options & kCGWindowListOptionOnScreenOnly) != 0;
    const bool excludeDesktop = (options & kCGWindowListExcludeDesktopElements) != 0;
    WindowInfoList list;
    list.reserve(snapshot->windows.size());
    for (const ClientWindow& window : snapshot->windows) {
        if (onScreenOnly && !onScreen(window))
            continue;
        if (excludeDesktop && window.role == WindowRole::desktop)
            continue;
        list.push_back(record(window));
    }
    return list;
}

WindowInfo X11WindowServer::record(const ClientWindow& window) const {
    WindowInfo info;
    info[kCGWindowLayer] = layerOf(window);
    info[kCGWindowNumber] = static_cast<std::int64_t>(window.id);
    if (window.pid)
        info[kCGWindowOwnerPID] = static_cast<std::int64_t>(*window.pid);
    if (window.title)
        info[kCGWindowName] = *window.title;
    if (window.className)
        info[kCGWindowOwnerName] = *window.className;
    if (window.hasGeometry) {
        const double r = devicePixelRatio_;
        info[kCGWindowBounds] = NumberMap{{"X", window.x / r},
                                          {"Y", window.y / r},
                                          {"Width", window.width / r},
                                          {"Height", window.height / r}};
    }
    return info;
}

}  // namespace tavrel::x11
