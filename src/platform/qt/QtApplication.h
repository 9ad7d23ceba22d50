#pragma once
#include "platform/Application.h"

namespace tavrel::qt {

// The QApplication (made by main before any service) and its event loop.
class QtApplication final : public Application {
  public:
    // An accessory agent has no window of its own: closing the panel must not end the loop.
    void setActivationPolicy(std::int64_t policy) override;
    int run(std::function<void()> didFinishLaunching) override;
    void terminate() override;
};

}  // namespace tavrel::qt
