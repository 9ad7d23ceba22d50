#pragma once
#include "platform/ProcessInfo.h"

namespace tavrel::qt {

class QtProcessInfo final : public ProcessInfo {
  public:
    std::int32_t processIdentifier() override;
    // The directory of /proc/self/exe; empty when the kernel will not say.
    std::string bundlePath() override;
    void writeToStandardError(std::string_view bytes) override;
};

}  // namespace tavrel::qt
