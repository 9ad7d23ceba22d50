#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/WindowEntry.h"

namespace tavrel {

class SwitcherPanel;

// The switch in progress: the snapshot taken at opening, the selected entry, and the one panel.
// Made as a shared object (std::make_shared): the panel refers back to it weakly.
class SwitcherController : public std::enable_shared_from_this<SwitcherController> {
  public:
    SwitcherController();
    ~SwitcherController();

    void preWarm();
    void advance(bool reverse);
    void commitIfVisible();
    void setSelection(std::int64_t index);
    void cancel();

    bool isVisible() const;
    const std::vector<WindowEntry>& entries() const;
    std::int64_t selection() const;

  private:
    void show();
    void makePanelIfNeeded();

    std::shared_ptr<SwitcherPanel> panel_;
    std::vector<WindowEntry> entries_;
    std::int64_t selection_ = 0;  // into entries_, never into the panel's filtered rows
    bool isVisible_ = false;
};

}  // namespace tavrel
