#pragma once
#include <vector>

#include "platform/Screens.h"
#include "platform/wayland/SwayTree.h"

namespace tavrel::wayland {

class SwayIpc;

// sway's outputs as screens: each active output's rectangle, its visible frame the rectangle
// its visible workspace leaves free of bars. Points are sway's logical pixels; y is turned
// upward from the bottom of the output at the layout's origin (else the first output).
// Wayland tells no client where the pointer is, and the panel belongs on the output the user
// is working on: the location reported is the centre of the focused output.
class WaylandScreens final : public Screens {
  public:
    explicit WaylandScreens(SwayIpc& commands) : commands_(commands) {}

    // Reads the outputs afresh (at start, and when sway tells of a change).
    void refresh();

    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;

    // An output by the point it holds, in the core's points.
    const SwayOutput* outputAt(Point point) const;
    // An output's rectangle in the core's points.
    Rect toPoints(const Rect& layoutRect) const;

  private:
    const SwayOutput* focused() const;

    SwayIpc& commands_;
    std::vector<SwayOutput> outputs_;
};

}  // namespace tavrel::wayland
