#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace tavrel::e2e {

// The panel's metrics as the user sees them, in pixels (one point is one pixel here).
inline constexpr int kPanelWidth = 620;
inline constexpr int kRowHeight = 38;
inline constexpr int kAllowance = 12;
inline constexpr int kFilterAllowance = 38;
// Left of the name column and inside the highlight's inset: only the highlight paints here.
inline constexpr int kProbeX = 6 + 10;

// What a picture of the panel tells, whatever desktop shows it. `column` is the panel's
// column of pixels (0xRRGGBB) at kProbeX, top to bottom, its whole height; with `filtering`
// the search label is shown above the rows.
//
// The highlighted row counted from the top of the visible rows, if exactly one shows.
std::optional<int> highlightedRow(const std::vector<std::uint32_t>& column, bool filtering);
// The rows the panel's height holds (and 0 for an empty filtered table).
int rowsShown(const std::vector<std::uint32_t>& column, bool filtering);
// Whether two colours differ by no more than `tolerance` in every channel.
bool nearColour(std::uint32_t a, std::uint32_t b, int tolerance = 24);

}  // namespace tavrel::e2e
