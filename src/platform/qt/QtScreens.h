#pragma once
#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>

#include "platform/Screens.h"

namespace tavrel::qt {

// The screens Qt knows (RandR monitors on X11) and the pointer, in y-up points. The pointer
// is asked of the server once per event handled (each ask is a round trip, and showing the
// panel asks twice), and not at all when the input being handled says where it was.
class QtScreens final : public Screens {
  public:
    std::vector<Screen> screens() override;
    std::optional<Screen> mainScreen() override;
    Point mouseLocation() override;

    // Where the pointer was, in screen pixels, at the input being handled, when known.
    void setPointerAtInput(std::function<std::optional<QPoint>()> pointerAtInput) {
        pointerAtInput_ = std::move(pointerAtInput);
    }

  private:
    std::function<std::optional<QPoint>()> pointerAtInput_;
    std::optional<QPoint> pointer_;
    QObject context_;  // ends the posted forgetting with the screens
};

}  // namespace tavrel::qt
