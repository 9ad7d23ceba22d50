#pragma once
#include "platform/WindowServer.h"
#include "platform/fake/CallLog.h"

namespace tavrel::fake {

// A scripted window list: whatever the test set last, or nothing.
class FakeWindowServer final : public WindowServer {
  public:
    explicit FakeWindowServer(CallLog& log) : log_(log) {}
    std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                 std::uint32_t relativeToWindow) override;

    std::optional<WindowInfoList> windows = WindowInfoList{};

  private:
    CallLog& log_;
};

}  // namespace tavrel::fake
