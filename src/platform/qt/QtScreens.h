#pragma once
#include <QObject>
#include <QPoint>
#include <optional>

#include "platform/Screens.h"

namespace tavrel::qt {

// The screens Qt knows (RandR monitors on X11) and the pointer, in y-up points. The pointer
// is asked of the server once per event handled: each ask is a round trip, and showing the
// panel asks twice.
class QtScreens final : public Screens {
  public:
    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;

  private:
    std::optional<QPoint> pointer_;
    QObject context_;  // ends the posted forgetting with the screens
};

}  // namespace tavrel::qt
