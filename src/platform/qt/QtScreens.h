#pragma once
#include "platform/Screens.h"

namespace tavrel::qt {

// The screens Qt knows (RandR monitors on X11) and the pointer, in y-up points.
class QtScreens final : public Screens {
  public:
    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;
};

}  // namespace tavrel::qt
