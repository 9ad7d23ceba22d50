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

// A drawable's pixels as GetImage answers them in Z format, and how the server lays them out.
struct ServerImage {
    std::span<const std::uint8_t> data;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t depth = 0;
    std::uint8_t bitsPerPixel = 0;  // of the server's pixmap format for the depth
    std::uint8_t scanlinePad = 0;   // bits
    bool lsbFirstBytes = true;      // image byte order
    // Depth 1 only: the bitmap scanline unit (bits) and bit order.
    std::uint8_t bitmapUnit = 32;
    bool lsbFirstBits = true;
    // Deeper images: where red, green and blue sit in a pixel (a TrueColor visual's masks).
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
};

// The icon a WM_HINTS icon pixmap draws. A depth-1 bitmap is black where set and white elsewhere
// (the window manager's colours of old); a deeper pixmap gives its colours through the masks. A
// depth-1 mask at least as large as the pixmap makes its clear bits transparent; another mask
// is ignored. Null when a size is zero or beyond kMaxIconSide, the layout is one the protocol
// does not allow, or the data is shorter than the layout needs.
Image decodePixmapIcon(const ServerImage& pixmap, const ServerImage* mask);

}  // namespace tavrel::x11
