#pragma once
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace tavrel::wayland {

// The compositor's windows, most recently used first. Wayland tells no stacking order, only
// which window is activated: a window comes to the front when it becomes activated, and
// losing the activated state moves nothing (the open panel takes it from the window the
// user is on, which must stay in front).
class RecentWindows {
  public:
    // A window the compositor just announced goes behind every window already known.
    void add(std::uint32_t id);
    void remove(std::uint32_t id);
    // The window's activated state as the compositor reports it now.
    void setActivated(std::uint32_t id, bool activated);
    // The order the compositor remembers (most recent first) for the windows it names;
    // windows it does not name keep their order behind them.
    void seed(const std::vector<std::uint32_t>& mostRecentFirst);

    const std::vector<std::uint32_t>& order() const { return order_; }

  private:
    void moveToFront(std::uint32_t id);

    std::vector<std::uint32_t> order_;
    std::unordered_set<std::uint32_t> activated_;
};

}  // namespace tavrel::wayland
