#pragma once
#include "platform/WindowServer.h"
#include "platform/x11/X11WindowList.h"

namespace tavrel::x11 {

// The window list as window-info records: client windows front to back, normal and dialog
// windows on layer 0, other roles on the layers their purpose suggests.
class X11WindowServer final : public WindowServer {
  public:
    explicit X11WindowServer(X11WindowList& windows) : windows_(windows) {}

    std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                 std::uint32_t relativeToWindow) override;
    // Bounds are in points: pixels divided by this ratio.
    void setDevicePixelRatio(double ratio);

    // The window-info record of one client window.
    WindowInfo record(const ClientWindow& window) const;

  private:
    X11WindowList& windows_;
    double devicePixelRatio_ = 1.0;
};

}  // namespace tavrel::x11
