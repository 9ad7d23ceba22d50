#include "platform/x11/ActivationHistory.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace tavrel::x11 {
namespace {

// Windows are forgotten at each listing; between two listings a client that makes windows
// active by the thousand must not make the history grow without end.
constexpr std::size_t kMaxRemembered = 4096;
// Shorter than any activation a person makes, longer than a window manager takes to move
// the focus on.
constexpr xcb_timestamp_t kFleetingMs = 150;

}  // namespace

void ActivationHistory::noteActive(xcb_window_t window, std::optional<xcb_timestamp_t> time) {
    if (!recent_.empty() && recent_.front() == window)
        return;
    // Server times wrap around: their difference does not.
    if (latestAt_ && time && static_cast<xcb_timestamp_t>(*time - *latestAt_) < kFleetingMs)
        recent_ = beforeLatest_;
    beforeLatest_ = recent_;
    latestAt_ = time;
    if (window == XCB_WINDOW_NONE)
        return;
    std::erase(recent_, window);
    recent_.insert(recent_.begin(), window);
    if (recent_.size() > kMaxRemembered)
        recent_.pop_back();
}

void ActivationHistory::arrange(std::vector<ClientWindow>& frontToBack) {
    std::unordered_set<xcb_window_t> listed;
    for (const ClientWindow& w : frontToBack)
        listed.insert(w.id);
    std::erase_if(recent_, [&](xcb_window_t id) { return !listed.contains(id); });
    std::unordered_map<xcb_window_t, std::size_t> rank;
    for (std::size_t i = 0; i < recent_.size(); ++i)
        rank.emplace(recent_[i], i);
    const auto rankOf = [&](const ClientWindow& w) {
        const auto found = rank.find(w.id);
        return found == rank.end() ? std::numeric_limits<std::size_t>::max() : found->second;
    };
    std::stable_sort(
        frontToBack.begin(), frontToBack.end(),
        [&](const ClientWindow& a, const ClientWindow& b) { return rankOf(a) < rankOf(b); });
}

}  // namespace tavrel::x11
