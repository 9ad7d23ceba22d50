#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Image.h"

namespace tavrel {

inline constexpr std::uint32_t NSApplicationActivateIgnoringOtherApps = 2;

// One running application, as the platform knows it.
class RunningApplication {
  public:
    virtual ~RunningApplication() = default;
    virtual std::optional<std::string> localizedName() = 0;
    virtual Image icon() = 0;
    virtual std::optional<std::string> bundleIdentifier() = 0;
    virtual bool activateWithOptions(std::uint32_t options) = 0;
};

class RunningApplications {
  public:
    virtual ~RunningApplications() = default;
    // Nothing when no application runs under that process id.
    virtual std::shared_ptr<RunningApplication> runningApplicationWithProcessIdentifier(
        std::int32_t pid) = 0;
};

}  // namespace tavrel
