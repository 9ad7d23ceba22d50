#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace tavrel {

// Keys of a window-info record.
inline constexpr const char* kCGWindowLayer = "kCGWindowLayer";
inline constexpr const char* kCGWindowOwnerPID = "kCGWindowOwnerPID";
inline constexpr const char* kCGWindowNumber = "kCGWindowNumber";
inline constexpr const char* kCGWindowName = "kCGWindowName";
inline constexpr const char* kCGWindowBounds = "kCGWindowBounds";
inline constexpr const char* kCGWindowOwnerName = "kCGWindowOwnerName";

inline constexpr std::uint32_t kCGWindowListOptionOnScreenOnly = 1;
inline constexpr std::uint32_t kCGWindowListExcludeDesktopElements = 16;
inline constexpr std::uint32_t kCGNullWindowID = 0;

using WindowInfo = std::map<std::string, Value>;
using WindowInfoList = std::vector<WindowInfo>;

// The window server: the windows now on screen, front-most first.
class WindowServer {
  public:
    virtual ~WindowServer() = default;
    // Nothing when the list cannot be had.
    virtual std::optional<WindowInfoList> copyWindowInfo(std::uint32_t options,
                                                         std::uint32_t relativeToWindow) = 0;
};

}  // namespace tavrel
