#pragma once
#include "platform/Screens.h"

namespace tavrel::fake {

class FakeScreens final : public Screens {
  public:
    std::vector<Screen> screens() override { return list; }
    std::optional<Screen> mainScreen() override { return main; }
    Point mouseLocation() override {
        ++pointerReads;
        return pointer;
    }

    std::vector<Screen> list{{{{0, 0}, {1440, 900}}, {{0, 0}, {1440, 875}}}};
    std::optional<Screen> main = list.front();
    Point pointer{100, 100};
    int pointerReads = 0;
};

}  // namespace tavrel::fake
