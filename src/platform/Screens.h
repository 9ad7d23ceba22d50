#pragma once
#include <optional>
#include <vector>

#include "platform/Geometry.h"

namespace tavrel {

// One screen in global coordinates (points, y up, origin at the primary screen's lower-left).
struct Screen {
    Rect frame;
    Rect visibleFrame;  // without panels, docks and menu bars
    friend bool operator==(const Screen&, const Screen&) = default;
};

class Screens {
  public:
    virtual ~Screens() = default;
    virtual std::vector<Screen> screens() = 0;  // in the platform's order
    virtual std::optional<Screen> mainScreen() = 0;
    virtual Point mouseLocation() = 0;
};

}  // namespace tavrel
