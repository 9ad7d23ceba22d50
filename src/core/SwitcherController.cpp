#include "core/SwitcherController.h"

#include <optional>

#include "core/SwitcherPanel.h"
#include "core/WindowActivator.h"
#include "core/WindowEnumerator.h"

namespace tavrel {

SwitcherController::SwitcherController() = default;
SwitcherController::~SwitcherController() = default;

void SwitcherController::preWarm() {
    makePanelIfNeeded();
    // Thrown away: it only fills the application cache so the first opening finds it warm.
    (void)WindowEnumerator::enumerate();
}

void SwitcherController::advance(bool reverse) {
    if (!isVisible_) {
        entries_ = WindowEnumerator::enumerate();
        if (entries_.empty())
            return;
        // Either direction opens on the window behind the front-most one.
        selection_ = entries_.size() >= 2 ? 1 : 0;
        show();
        return;
    }
    // Under a filter the step goes to the next shown row, so what is highlighted is what a
    // release commits.
    if (panel_ && panel_->isFiltered()) {
        if (const auto chosen = panel_->stepShownRows(reverse, selection_))
            setSelection(*chosen);
        return;
    }
    const auto n = static_cast<std::int64_t>(entries_.size());
    if (n == 0)
        return;
    selection_ = reverse ? (selection_ - 1 + n) % n : (selection_ + 1) % n;
    if (panel_)
        panel_->selectRow(selection_);
}

void SwitcherController::commitIfVisible() {
    if (!isVisible_)
        return;
    std::optional<WindowEntry> target;
    if (selection_ >= 0 && selection_ < static_cast<std::int64_t>(entries_.size()))
        target = entries_[static_cast<std::size_t>(selection_)];
    if (panel_)
        panel_->orderOut();
    isVisible_ = false;
    if (target)
        WindowActivator::activate(*target);
}

void SwitcherController::setSelection(std::int64_t index) {
    if (index >= 0 && index < static_cast<std::int64_t>(entries_.size()))
        selection_ = index;
}

void SwitcherController::cancel() {
    if (!isVisible_)
        return;
    if (panel_)
        panel_->orderOut();
    isVisible_ = false;
}

bool SwitcherController::isVisible() const {
    return isVisible_;
}

const std::vector<WindowEntry>& SwitcherController::entries() const {
    return entries_;
}

std::int64_t SwitcherController::selection() const {
    return selection_;
}

void SwitcherController::show() {
    makePanelIfNeeded();
    isVisible_ = true;
    panel_->update(entries_, selection_);
    panel_->present();
}

void SwitcherController::makePanelIfNeeded() {
    if (!panel_)
        panel_ = SwitcherPanel::create(weak_from_this());
}

}  // namespace tavrel
