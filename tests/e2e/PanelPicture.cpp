#include "PanelPicture.h"

#include <cstdlib>

namespace tavrel::e2e {
namespace {

constexpr int kTopInset = 6;
constexpr int kFilterTopInset = 26;  // under the search label

}  // namespace

bool nearColour(std::uint32_t a, std::uint32_t b, int tolerance) {
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xff); };
    for (const int shift : {0, 8, 16}) {
        if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance)
            return false;
    }
    return true;
}

std::optional<int> highlightedRow(const std::vector<std::uint32_t>& column, bool filtering) {
    const int height = static_cast<int>(column.size());
    const int top = filtering ? kFilterTopInset : kTopInset;
    if (top >= height - 3)
        return std::nullopt;
    const std::uint32_t background = column[static_cast<std::size_t>(height - 3)];
    std::vector<int> centres;
    for (int y = top; y < height - kTopInset;) {
        if (nearColour(column[static_cast<std::size_t>(y)], background)) {
            ++y;
            continue;
        }
        const int start = y;
        while (y < height && !nearColour(column[static_cast<std::size_t>(y)], background))
            ++y;
        // A whole highlight is the row less its insets; part of one is a row scrolled half in.
        if (y - start >= kRowHeight - 8)
            centres.push_back((start + y) / 2);
    }
    if (centres.size() != 1)
        return std::nullopt;
    return (centres.front() - top) / kRowHeight;
}

int rowsShown(const std::vector<std::uint32_t>& column, bool filtering) {
    const int height = static_cast<int>(column.size());
    // The panel keeps one row's height when no row is left; only then is nothing highlighted.
    if (height == kRowHeight + kFilterAllowance && filtering && !highlightedRow(column, true))
        return 0;
    return (height - (filtering ? kFilterAllowance : kAllowance)) / kRowHeight;
}

}  // namespace tavrel::e2e
