#pragma once
#include "platform/WindowServer.h"

namespace tavrel::wayland {

class ForeignToplevels;

// The window list on Wayland: the compositor's windows most recently used first, minimised
// ones left out (they are not on screen). The compositor tells no sizes, so records carry
// no bounds and the size test passes them all.
class WaylandWindowServer final : public WindowServer {
  public:
    explicit WaylandWindowServer(ForeignToplevels& toplevels) : toplevels_(toplevels) {}
    std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                 std::uint32_t relativeToWindow) override;

  private:
    ForeignToplevels& toplevels_;
};

}  // namespace tavrel::wayland
