#pragma once
#include <cstdint>

namespace tavrel {

// An accessibility element: an application (by pid) or one of its windows (by the window
// server's number). A plain value; backends give `window` their own meaning (an X window id).
struct AXElement {
    enum class Kind { application, window };
    Kind kind = Kind::application;
    std::int32_t pid = 0;
    std::uint64_t window = 0;
    friend bool operator==(const AXElement&, const AXElement&) = default;
};

}  // namespace tavrel
