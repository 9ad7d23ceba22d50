#pragma once
#include "platform/WindowServer.h"
#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {

class DesktopWatch;

// The window list as window-info records: client windows front to back, normal and dialog
// windows on layer 0, other roles on the layers their purpose suggests.
class X11WindowServer final : public WindowServer {
  public:
    // `order`, when given, puts the listing in the order the user means (most recently active
    // first where the stacking list does not follow focus).
    explicit X11WindowServer(X11WindowList& windows, DesktopWatch* order = nullptr)
        : windows_(windows), order_(order) {}

    std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                 std::uint32_t relativeToWindow) override;
    // Bounds are in points: pixels divided by this ratio.
    void setDevicePixelRatio(double ratio);

    // The window-info record of one client window.
    WindowInfo record(const ClientWindow& window) const;

  private:
    X11WindowList& windows_;
    DesktopWatch* order_;
    double devicePixelRatio_ = 1.0;
};

}  // namespace tavrel::x11
