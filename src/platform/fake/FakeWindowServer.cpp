#include "platform/fake/FakeWindowServer.h"

namespace tavrel::fake {

std::optional<WindowInfoList> FakeWindowServer::copyWindowInfo(std::uint32_t options,
                                                               std::uint32_t relativeToWindow) {
    log_.record("copyWindowInfo " + std::to_string(options) + " " +
                std::to_string(relativeToWindow));
    return windows;
}

}  // namespace tavrel::fake
