#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Image.h"

namespace tavrel {

// One switchable window: a row of the panel and a target of activation. Its identity is the
// window server's number alone.
struct WindowEntry {
    std::uint32_t cgWindowID = 0;
    std::int32_t pid = 0;
    std::string appName;
    Image appIcon;
    std::string title;
    std::optional<std::string> bundleID;

    friend bool operator==(const WindowEntry& a, const WindowEntry& b);
};

}  // namespace tavrel
