#include "platform/x11/X11Icon.h"

#include <algorithm>
#include <bit>
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

bool isUnit(std::uint32_t bits) {
    return bits == 8 || bits == 16 || bits == 32;
}

// Bytes in one scanline, padded as the server pads it.
std::uint64_t stride(const ServerImage& image) {
    const std::uint64_t bits = std::uint64_t{image.width} * image.bitsPerPixel;
    return (bits + image.scanlinePad - 1) / image.scanlinePad * image.scanlinePad / 8;
}

// A layout the protocol allows, with every scanline there.
bool readable(const ServerImage& image) {
    if (image.width == 0 || image.height == 0 || image.width > kMaxIconSide ||
        image.height > kMaxIconSide || !isUnit(image.scanlinePad))
        return false;
    if (image.depth == 1) {
        if (image.bitsPerPixel != 1 || !isUnit(image.bitmapUnit) ||
            image.bitmapUnit > image.scanlinePad)
            return false;
    } else if (!isUnit(image.bitsPerPixel) && image.bitsPerPixel != 24) {
        return false;
    } else if (image.depth > image.bitsPerPixel || image.redMask == 0 || image.greenMask == 0 ||
               image.blueMask == 0) {
        return false;
    }
    return image.data.size() >= stride(image) * image.height;
}

std::uint32_t unitAt(const std::uint8_t* bytes, std::uint32_t count, bool lsbFirst) {
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        value |= std::uint32_t{bytes[lsbFirst ? i : count - 1 - i]} << (8 * i);
    return value;
}

const std::uint8_t* row(const ServerImage& image, std::uint32_t y) {
    return image.data.data() + stride(image) * y;
}

bool bitAt(const ServerImage& image, std::uint32_t x, std::uint32_t y) {
    const std::uint32_t unit = image.bitmapUnit;
    const std::uint32_t value =
        unitAt(row(image, y) + x / unit * (unit / 8), unit / 8, image.lsbFirstBytes);
    const std::uint32_t bit = image.lsbFirstBits ? x % unit : unit - 1 - x % unit;
    return ((value >> bit) & 1u) != 0;
}

// One channel, widened or narrowed to eight bits.
std::uint32_t channel(std::uint32_t pixel, std::uint32_t mask) {
    const std::uint32_t shift = static_cast<std::uint32_t>(std::countr_zero(mask));
    const std::uint32_t top = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / top;
}

std::uint32_t colourAt(const ServerImage& image, std::uint32_t x, std::uint32_t y) {
    if (image.depth == 1)
        return bitAt(image, x, y) ? 0xFF000000u : 0xFFFFFFFFu;
    const std::uint32_t bytes = image.bitsPerPixel / 8;
    const std::uint32_t pixel = unitAt(row(image, y) + x * bytes, bytes, image.lsbFirstBytes);
    return 0xFF000000u | channel(pixel, image.redMask) << 16 |
           channel(pixel, image.greenMask) << 8 | channel(pixel, image.blueMask);
}

}  // namespace

Image decodePixmapIcon(const ServerImage& pixmap, const ServerImage* mask) {
    if (!readable(pixmap))
        return nullptr;
    const bool masked = mask != nullptr && mask->depth == 1 && readable(*mask) &&
                        mask->width >= pixmap.width && mask->height >= pixmap.height;
    auto image = std::make_shared<IconImage>();
    image->width = static_cast<int>(pixmap.width);
    image->height = static_cast<int>(pixmap.height);
    image->argb.reserve(std::size_t{pixmap.width} * pixmap.height);
    for (std::uint32_t y = 0; y < pixmap.height; ++y) {
        for (std::uint32_t x = 0; x < pixmap.width; ++x) {
            const bool shown = !masked || bitAt(*mask, x, y);
            image->argb.push_back(shown ? colourAt(pixmap, x, y) : 0u);
        }
    }
    return image;
}

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
