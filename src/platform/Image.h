#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace tavrel {

// Decoded pixels of an application icon: row-major, non-premultiplied 0xAARRGGBB.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
};

// A shared, nullable handle: the cache and every entry made from it share one image.
using Image = std::shared_ptr<const IconImage>;

}  // namespace tavrel
