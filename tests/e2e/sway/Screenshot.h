#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrel::e2e {

// A rectangle of a Wayland compositor's screen as grim captures it (screencopy), pixels as
// 0xRRGGBB, row by row.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    // `environment`: the compositor's ("WAYLAND_DISPLAY=...", "XDG_RUNTIME_DIR=...").
    static std::optional<Screenshot> take(const std::vector<std::string>& environment, int x, int y,
                                          int width, int height);
    // The whole screen saved as a PNG file.
    static bool save(const std::vector<std::string>& environment, const std::string& file);
};

}  // namespace tavrel::e2e
