#include "platform/x11/X11Icon.h"

#include <algorithm>
#include <optional>

namespace tavrel::x11 {
namespace {

struct Candidate {
    std::size_t offset;
    std::uint32_t width;
    std::uint32_t height;
};

// Smaller sufficient images beat larger ones; below the target, larger beats smaller.
bool better(const Candidate& a, const Candidate& b, std::uint32_t target) {
    const std::uint32_t sideA = std::min(a.width, a.height);
    const std::uint32_t sideB = std::min(b.width, b.height);
    const bool bigEnoughA = sideA >= target;
    const bool bigEnoughB = sideB >= target;
    if (bigEnoughA != bigEnoughB)
        return bigEnoughA;
    return bigEnoughA ? sideA < sideB : sideA > sideB;
}

}  // namespace

Image decodeNetWmIcon(std::span<const std::uint32_t> data, std::uint32_t targetSize) {
    std::optional<Candidate> best;
    std::size_t offset = 0;
    while (data.size() - offset >= 2) {
        const std::uint32_t width = data[offset];
        const std::uint32_t height = data[offset + 1];
        if (width == 0 || height == 0 || width > kMaxIconSide || height > kMaxIconSide)
            break;
        // Both sides are bounded, so the product cannot overflow.
        const std::size_t pixels = std::size_t{width} * height;
        if (pixels > data.size() - offset - 2)
            break;
        const Candidate candidate{offset + 2, width, height};
        if (!best || better(candidate, *best, targetSize))
            best = candidate;
        offset += 2 + pixels;
    }
    if (!best)
        return nullptr;
    auto image = std::make_shared<IconImage>();
    image->width = static_cast<int>(best->width);
    image->height = static_cast<int>(best->height);
    const auto pixels = data.subspan(best->offset, std::size_t{best->width} * best->height);
    image->argb.assign(pixels.begin(), pixels.end());
    return image;
}

}  // namespace tavrel::x11
