#pragma once
#include <cstdint>
#include <span>

#include "platform/Image.h"

namespace tavrel::x11 {

// Icons larger than this on a side are refused as absurd.
inline constexpr std::uint32_t kMaxIconSide = 1024;

// Picks from a _NET_WM_ICON value (width, height and width × height ARGB pixels, repeated)
// the smallest image at least `targetSize` pixels on both sides, else the largest. Every
// declared size is checked against the data that is really there; an image that claims
// more stops the walk. Null when no image is whole.
Image decodeNetWmIcon(std::span<const std::uint32_t> data, std::uint32_t targetSize);

}  // namespace tavrel::x11
