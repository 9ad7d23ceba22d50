#include "platform/wayland/RecentWindows.h"

#include <algorithm>

namespace tavrel::wayland {

void RecentWindows::add(std::uint32_t id) {
    if (std::find(order_.begin(), order_.end(), id) == order_.end())
        order_.push_back(id);
}

void RecentWindows::remove(std::uint32_t id) {
    std::erase(order_, id);
    activated_.erase(id);
}

void RecentWindows::setActivated(std::uint32_t id, bool activated) {
    if (!activated) {
        activated_.erase(id);
        return;
    }
    if (std::find(order_.begin(), order_.end(), id) != order_.end() && activated_.insert(id).second)
        moveToFront(id);
}

void RecentWindows::seed(const std::vector<std::uint32_t>& mostRecentFirst) {
    std::vector<std::uint32_t> seeded;
    seeded.reserve(order_.size());
    for (const std::uint32_t id : mostRecentFirst) {
        const bool known = std::find(order_.begin(), order_.end(), id) != order_.end();
        if (known && std::find(seeded.begin(), seeded.end(), id) == seeded.end())
            seeded.push_back(id);
    }
    for (const std::uint32_t id : order_) {
        if (std::find(seeded.begin(), seeded.end(), id) == seeded.end())
            seeded.push_back(id);
    }
    order_ = std::move(seeded);
}

void RecentWindows::moveToFront(std::uint32_t id) {
    const auto it = std::find(order_.begin(), order_.end(), id);
    std::rotate(order_.begin(), it, it + 1);
}

}  // namespace tavrel::wayland
